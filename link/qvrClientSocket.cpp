#include "link/qvrClientSocket.h"

#include "link/inputStream.h"
#include "link/qvrClientDev.h"
#include "link/socketRequestStream.h"
#include "machine/systemInfo.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

namespace {

// The words that may follow each other in one message, in the only order in
// which they are recognised.
enum chainWord_e {
    errorLogInfo_e,
    hasReopened_e,
    hasQueueChanged_e,
    sendMachineName_e,
    sendEmbeddedVersion_e,
    sendNvm_e,
    hasNewLog_e,
    hasNewFileSender_e,
    hasNewModelInfo_e,
    hasNewTimeEstimate_e,
    pauseMachineUser_e,
    modelHasEnded_e,
};

constexpr const wchar_t* chainWords[] = {
    L"ERRORLOGINFO",     L"HASREOPENEDRESP",  L"HASQUEUECHANGEDRESP", L"SENDMACHINENAME",
    L"SENDEMBEDDEDVERSIONSTRING", L"SENDNVM", L"HASNEWLOGRESP",       L"HASNEWFILESENDER",
    L"HASNEWMODELINFO",  L"HASNEWTIMEEST",    L"PAUSEMACHINEUSER",    L"MODELHASENDED",
};

// The length of a reply packet whose type fixes it ([type][payload]); the
// bytes that have arrived for any other type are the packet.
std::size_t knownReplyLength(const std::uint8_t* packet, std::size_t available, bool& needMore)
{
    needMore = false;
    if (available == 0) {
        needMore = true;
        return 0;
    }
    switch (packet[0]) {
    case 1:
    case 8:
    case 10:
    case 13:
        return 1 + 60;
    case 11:
        return 1 + 52;
    case 9:
        return 1 + 44;
    case 7:
        // [7][count][u16 offset][count bytes]
        if (available < 2) {
            needMore = true;
            return 0;
        }
        return 4 + static_cast<std::size_t>(packet[1]);
    default:
        return 1;
    }
}

// The next word of a message; the empty text where the message ends (which
// is no failure: a message may end after any chained word).
std::wstring nextWord(inputStream_t& in)
{
    return in.remaining() == 0 ? std::wstring() : in.readString();
}

}  // namespace

qvrClientSocket_t::qvrClientSocket_t(bool controlAccess, const sharedLock_t& lock) : qvrSocket_t(lock)
{
    setUserName(getUserName());
    setControlAccess(controlAccess);
}

qvrClientSocket_t::qvrClientSocket_t(int acceptedSocket, basicSocket_t* listener, bool controlAccess)
    : qvrSocket_t(acceptedSocket, listener)
{
    setUserName(getUserName());
    setControlAccess(controlAccess);
}

qvrClientSocket_t::~qvrClientSocket_t()
{
    // The socket thread asks messageCompleteness; it must end first.
    shutdown();
}

bool qvrClientSocket_t::connectTo(const std::wstring& host, std::int32_t machineId, int port)
{
    {
        lockGuard_t guard(sharedLock());
        requestedMachineId_ = machineId;
    }
    return connect(host, port);
}

std::int32_t qvrClientSocket_t::requestedMachineId() const
{
    lockGuard_t guard(sharedLock());
    return requestedMachineId_;
}

bool qvrClientSocket_t::isAccepted() const
{
    lockGuard_t guard(sharedLock());
    return accepted_;
}

bool qvrClientSocket_t::acceptGreeting(bool controlAccess)
{
    lockGuard_t guard(sharedLock());
    controlAccess_ = controlAccess;
    const bool was = accepted_;
    accepted_ = true;
    return was;
}

int qvrClientSocket_t::parseMessage(qvrClientDev_t& device)
{
    dataArrived_.reset();
    return parseBytes(receivedMessage(), device);
}

int qvrClientSocket_t::parseBytes(socketBytes_t message, qvrClientDev_t& device)
{
    return parse(message, this, &device).result;
}

messageCompleteness_e qvrClientSocket_t::messageCompleteness(const socketBytes_t& received)
{
    return isCompleteMessage(received) ? messageComplete_e : messageIncomplete_e;
}

bool qvrClientSocket_t::isCompleteMessage(socketBytes_t received)
{
    return !parse(received, nullptr, nullptr).truncated;
}

void qvrClientSocket_t::answerGreeting()
{
    std::int32_t machineId;
    bool control;
    std::wstring user;
    {
        lockGuard_t guard(sharedLock());
        machineId = requestedMachineId_;
        control = controlAccess_;
        user = userName_;
    }
    socketRequestStream_t answer(control ? controlConnectWord : normalConnectWord);
    answer << machineId;
    answer.writeString(user);
    answer << clientVersion;
    sendMessage(answer);
}

qvrClientSocket_t::parseOutcome_t qvrClientSocket_t::parse(socketBytes_t message, qvrClientSocket_t* self,
                                                           qvrClientDev_t* device)
{
    // Acting needs both; the completeness test has neither.
    const bool act = self != nullptr && device != nullptr;
    parseOutcome_t outcome;
    bool shortField = false;
    if (act) {
        self->reply_.clear();
        self->reply_.setKind(packetBuffer_t::devicePacket);
    }

    inputStream_t in(message.data(), static_cast<std::int32_t>(message.size()));
    const auto finish = [&](int result) {
        outcome.result = result;
        outcome.truncated = shortField || (in.failed() && in.failureCause() == archiveCause_e::endOfFile_e);
        return outcome;
    };

    const std::wstring word = in.readString();

    // The greeting: the server's versions and its machines.
    if (word == greetingWord) {
        double needed = 0.0;
        double version = 0.0;
        in >> needed >> version;
        if (needed > clientVersion) {
            if (act)
                device->notify(144);
            return finish(handled_e);
        }
        if (version < lowestServerVersion) {
            if (act)
                device->notify(145);
            return finish(handled_e);
        }
        std::vector<machineHostIDname_t> machines;
        in >> machines;
        if (act) {
            device->setServerVersion(version);
            device->setServerMachines(machines);
            device->notify(131);
            self->answerGreeting();
        }
        return finish(greetingStep_e);
    }

    // The server's answer to ours: the access granted and the machine.
    if (word == controlConnectWord || word == normalConnectWord) {
        const bool control = word == controlConnectWord;
        std::uint32_t machineId = 0;
        in >> machineId;
        const std::wstring name = in.readString();
        if (!act)
            return finish(handled_e);
        self->setControlAccess(control);
        device->notify(control ? 132 : 149);
        device->setServerMachineID(machineId);
        device->setMachineName(name);
        // A second answer in one session answers the request in flight.
        const bool wasAccepted = self->acceptGreeting(control);
        return finish(wasAccepted ? handled_e : greetingStep_e);
    }

    if (word == L"WAITFORCONNECTION")
        return finish(waitAndResend_e);

    if (word == L"WRONGPASSWORD") {
        if (act) {
            device->setWrongPassword(true);
            device->notify(129);
        }
        return finish(handled_e);
    }

    if (word == L"GETLOGFILENAMES") {
        const std::wstring first = in.readString();
        const std::wstring second = in.readString();
        if (act && !first.empty())
            device->setLogFileNames(first, second);
        return finish(handled_e);
    }

    if (word == L"MACHINELOGDATA") {
        const std::wstring text = in.readString();
        // The log text follows a 15-character header.
        if (act && !text.empty())
            device->setMachineLogText(text.size() > 15 ? text.substr(15) : std::wstring());
        return finish(handled_e);
    }

    // Notices that ride in front of the message's last word, each at most
    // once and only in this order.
    std::wstring current = word;
    for (std::size_t i = 0; i < std::size(chainWords); ++i) {
        if (current != chainWords[i])
            continue;
        switch (static_cast<chainWord_e>(i)) {
        case errorLogInfo_e: {
            std::unique_ptr<errorHistory_t> record;
            in >> record;
            if (act) {
                if (record)
                    device->setErrorHistory(*record);
                device->notify(138);
            }
            break;
        }
        case hasReopened_e:
            if (act)
                device->notify(1);
            break;
        case hasQueueChanged_e: {
            std::uint32_t count = 0;
            in >> count;
            if (act && !in.failed()) {
                device->setQueueChangeCount(count);
                device->requestQueueInfo();
            }
            break;
        }
        case sendMachineName_e: {
            const std::wstring name = in.readString();
            if (act && !in.failed()) {
                device->setMachineName(name);
                device->notify(151);
            }
            break;
        }
        case sendEmbeddedVersion_e: {
            const std::wstring version = in.readString();
            const std::wstring extra = in.readString();
            if (act && !in.failed()) {
                device->setEmbeddedVersionText(version);
                device->setExtraVersionText(extra);
            }
            break;
        }
        case sendNvm_e: {
            std::vector<std::uint8_t> block(static_cast<std::size_t>(parameterBlockBytes));
            const std::size_t got = in.readRaw(block.data(), block.size());
            // A block cut short is never taken for the machine's memory.
            if (got < block.size()) {
                shortField = true;
            } else if (act) {
                device->takeParameterBlock(block.data(), self->localHostFlag());
                device->notify(104);
            }
            break;
        }
        case hasNewLog_e:
            if (act)
                device->notify(101);
            break;
        case hasNewFileSender_e: {
            std::unique_ptr<fileInfo_t> info;
            in >> info;
            if (act && info)
                device->setFileInfo(*info);
            break;
        }
        case hasNewModelInfo_e: {
            std::unique_ptr<qvrHostModelInfo_t> info;
            in >> info;
            if (act && info)
                device->setModelInfo(*info);
            break;
        }
        case hasNewTimeEstimate_e: {
            std::uint32_t estimate = 0;
            std::uint32_t threshold = 0;
            in >> estimate >> threshold;
            if (act && !in.failed())
                device->setTimeEstimate(static_cast<std::int32_t>(estimate), static_cast<std::int32_t>(threshold));
            break;
        }
        case pauseMachineUser_e: {
            const std::wstring user = in.readString();
            if (act && !in.failed())
                device->setPausingUser(user);
            break;
        }
        case modelHasEnded_e:
            if (act)
                device->notify(130);
            break;
        }
        current = nextWord(in);
    }

    // The message's last word; every one answers the request in flight.
    if (current == L"RESP") {
        const std::size_t available = in.remaining();
        std::array<std::uint8_t, maxReplyBytes> packet{};
        const std::size_t taken = in.readRaw(packet.data(), std::min<std::size_t>(available, packet.size()));
        bool needMore = false;
        const std::size_t length = knownReplyLength(packet.data(), taken, needMore);
        if (needMore || taken < std::min<std::size_t>(length, packet.size()))
            shortField = true;
        if (act)
            self->reply_.append(packet.data(), static_cast<std::int32_t>(taken));
    } else if (current == L"CANCELBUILD") {
        if (act)
            device->notify(148);
    } else if (current == L"QUEUEINFO") {
        if (act) {
            device->readQueueInfo(in);
            device->notify(128);
        } else {
            std::vector<fileSendParams_t> list;
            in >> list;
        }
    } else if (current == L"FILESENDERINFO") {
        std::unique_ptr<fileInfo_t> info;
        in >> info;
        if (act && info)
            device->setFileInfo(*info);
    } else if (current == L"SENDQVRFILEBLOCK") {
        if (act && self->isUploadPending())
            device->sendNextFileBlock();
    } else if (current == L"FINISHQVRFILESEND") {
        if (act)
            device->notify(118);
    } else if (current == L"SLICERSERVEROK" || current == L"SLICERSERVERERROR" ||
               current == L"SLICERSERVERSTATUS") {
        const std::wstring text = in.readString();
        if (act) {
            device->setSlicerStatusText(text);
            device->notify(current == L"SLICERSERVEROK" ? 137 : current == L"SLICERSERVERERROR" ? 146 : 150);
        }
    } else if (current == L"ADDEDFILEINDEX") {
        std::uint32_t index = 0;
        in >> index;
        if (act) {
            device->setAddedFileIndex(static_cast<std::int32_t>(index));
            device->notify(103);
        }
    } else if (current == L"REMOVEFROMQUEUE") {
        if (act)
            device->notify(136);
    } else if (current == L"DISCONNECT") {
        std::unique_ptr<machineHostIDname_t> machine;
        in >> machine;
        if (act && machine && machine->machineID != 0)
            device->notify(135);
    } else if (current == L"NOPERMISSION") {
        if (act)
            device->notify(121);
    } else if (current == L"ADDFILEERROR") {
        if (act)
            device->notify(116);
    }
    // "DEVICENOTCONNECTED", "ERROR", a message that ended after its notices
    // and any word this side does not know: nothing more to do.
    return finish(handled_e);
}

bool qvrClientSocket_t::sendPacket(const packetBuffer_t& packet)
{
    if (packet.kind() == packetBuffer_t::devicePacket) {
        socketRequestStream_t message(L"CMND");
        message.writeRaw(packet.data(), static_cast<std::size_t>(packet.length()));
        return sendMessage(message);
    }
    if (packet.kind() == packetBuffer_t::requestMessage && packet.length() > 0)
        return send(packet.data(), packet.length());
    return false;
}

bool qvrClientSocket_t::sendMessage(outputStream_t& stream)
{
    stream.finish();
    if (stream.failed() || stream.length() <= 0)
        return false;
    return send(stream.bytes(), stream.length());
}

// --- request builders ----------------------------------------------------------

bool qvrClientSocket_t::finishRequest(packetBuffer_t& buffer, outputStream_t& stream)
{
    buffer.clear();
    buffer.setKind(packetBuffer_t::requestMessage);
    stream.finish();
    const std::int32_t length = stream.length();
    if (stream.failed() || length <= 0)
        return false;
    if (buffer.append(stream.bytes(), length) != length) {
        buffer.clear();
        return false;
    }
    return true;
}

bool qvrClientSocket_t::buildWordRequest(packetBuffer_t& buffer, const std::wstring& word)
{
    socketRequestStream_t request(word);
    return finishRequest(buffer, request);
}

bool qvrClientSocket_t::buildLocalSliceFile(packetBuffer_t& buffer, const fileSendParams_t& record)
{
    socketRequestStream_t request(L"LOCALSLICEFILE");
    request << record;
    return finishRequest(buffer, request);
}

bool qvrClientSocket_t::buildTimeEstimate(packetBuffer_t& buffer, std::int32_t a, std::int32_t b)
{
    socketRequestStream_t request(L"SLICERSERVERTIMEEST");
    request << a << b;
    return finishRequest(buffer, request);
}

bool qvrClientSocket_t::buildStopSlicing(packetBuffer_t& buffer)
{
    return buildWordRequest(buffer, L"SLICEFILESTOP");
}

bool qvrClientSocket_t::buildFileToMachine(packetBuffer_t& buffer, std::int32_t index, const fileSendParams_t& record,
                                           bool move)
{
    socketRequestStream_t request(move ? L"MOVEFILETOMACHINE" : L"COPYFILETOMACHINE");
    request << index << record;
    return finishRequest(buffer, request);
}

bool qvrClientSocket_t::buildRemoteFile(packetBuffer_t& buffer, const fileSendParams_t& record)
{
    // The attached record is shared with the device thread's parser.
    lockGuard_t guard(sharedLock());
    auto upload = std::make_unique<upload_t>();
    upload->record = record;
    upload->record.uploadInput.open(record.name, std::ios_base::in | std::ios_base::binary);
    if (!upload->record.uploadInput.is_open()) {
        buffer.clear();
        return false;
    }
    socketRequestStream_t request(L"REMOTEQVRFILE");
    request << upload->record;
    // A new upload replaces one that is still pending.
    setAttached(std::move(upload));
    uploadProgress_ = 0;
    return finishRequest(buffer, request);
}

bool qvrClientSocket_t::isUploadPending() const
{
    lockGuard_t guard(sharedLock());
    return dynamic_cast<upload_t*>(attached()) != nullptr;
}

int qvrClientSocket_t::uploadProgress() const
{
    lockGuard_t guard(sharedLock());
    return uploadProgress_;
}

bool qvrClientSocket_t::buildNextFileBlock(packetBuffer_t& buffer)
{
    lockGuard_t guard(sharedLock());
    auto* upload = dynamic_cast<upload_t*>(attached());
    if (upload == nullptr) {
        buffer.clear();
        return false;
    }
    longname_ifstream& file = upload->record.uploadInput;
    const std::int64_t position = static_cast<std::int64_t>(file.tellg());
    const std::int64_t size = upload->record.integer(uploadFileSizeInteger);
    if (position >= 0 && position < size) {
        const std::int64_t left = size - position;
        const std::int64_t wanted = left < uploadBlockBytes + 1 ? left : uploadBlockBytes;
        std::vector<char> block(static_cast<std::size_t>(uploadBlockBytes) + 1);
        file.read(block.data(), static_cast<std::streamsize>(wanted));
        const std::int64_t got = file.gcount();
        // A file shorter than its record says ends the upload with what it had.
        if (got > 0) {
            socketRequestStream_t request(L"SENDQVRFILEBLOCK");
            request << static_cast<std::uint32_t>(position);
            request.writeRaw(block.data(), static_cast<std::size_t>(got));
            // Whole hundredths of the size, as the server counts them; a size
            // that is not a multiple of 100 would pass 100 before the end.
            if (size >= 100)
                uploadProgress_ = static_cast<int>(std::min<std::int64_t>(100, (position + got) / (size / 100)));
            return finishRequest(buffer, request);
        }
    }
    socketRequestStream_t request(L"FINISHQVRFILESEND");
    setAttached(nullptr);
    uploadProgress_ = 100;
    return finishRequest(buffer, request);
}
