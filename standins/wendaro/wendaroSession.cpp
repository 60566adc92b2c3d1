#include "standins/wendaro/wendaroSession.h"

#include "link/qvrClientSocket.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/wstr.h"
#include "platform/codePage.h"
#include "platform/files.h"
#include "platform/identity.h"
#include "platform/paths.h"
#include "standins/wendaro/wendaroMachine.h"
#include "standins/wendaro/wendaroMessage.h"
#include "standins/wendaro/wendaroServer.h"
#include "standins/wendaro/wendaroTrace.h"
#include "standins/wendaro/wendaroWords.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <initializer_list>
#include <string_view>
#include <sys/stat.h>

namespace {

using kind = wendaroNotice_t::kind_e;
using action = wendaroFaultRule_t::action_e;
namespace words = wendaroWords;

// How long one wait for an awaited printer action lasts before the session
// looks whether its client is still there.
constexpr auto replySlice = std::chrono::milliseconds(50);
// Longest machine log text: its characters go out as UTF-16 in one message.
constexpr std::size_t maxLogCharacters = 15000;
// The part of today's daily log read for "MACHINELOGDATA".
constexpr std::streamoff logTailBytes = 256 * 1024;

// A view-only connection may read, never act.
bool readOnlyCommand(int code) { return code == 1 || code == 5 || code == 10 || code == 12 || code == 147; }

bool readOnlyRequest(const std::wstring& word)
{
    return words::isWord(word, words::queueInfo) || words::isWord(word, words::fileSenderInfo) ||
           words::isWord(word, words::errorLogInfo) || words::isWord(word, words::machineLogData) ||
           words::isWord(word, words::timeEstimate);
}

std::string narrowText(const std::wstring& text) { return wideToUtf8(text); }

// The pieces as one text, made in one allocation (a chain of + makes one
// per step it outgrows).
std::wstring joined(std::initializer_list<std::wstring_view> pieces)
{
    std::size_t size = 0;
    for (std::wstring_view piece : pieces)
        size += piece.size();
    std::wstring out;
    out.reserve(size);
    for (std::wstring_view piece : pieces)
        out += piece;
    return out;
}

std::wstring twoDigits(int value) { return (value < 10 ? L"0" : L"") + toStr(value); }

// "YYYYMMDDhhmmss ": the 15 characters the client drops from a machine log.
std::wstring logHeader(std::time_t now)
{
    std::tm local{};
    if (!localTime(now, local))
        return std::wstring(15, L'0');
    return toStr(local.tm_year + 1900) + twoDigits(local.tm_mon + 1) + twoDigits(local.tm_mday) +
           twoDigits(local.tm_hour) + twoDigits(local.tm_min) + twoDigits(local.tm_sec) + L" ";
}

// The last `count` lines of the file (0: all that was read), CR LF joined.
std::wstring tailLines(const std::wstring& path, int count)
{
    basic_longname_ifstream<char> in(path, std::ios_base::in | std::ios_base::binary);
    if (!in.is_open())
        return std::wstring();
    in.seekg(0, std::ios_base::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = size > logTailBytes ? size - logTailBytes : 0;
    in.seekg(from, std::ios_base::beg);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    // A read that began inside the file began inside a line.
    if (from > 0 && !lines.empty())
        lines.erase(lines.begin());
    std::size_t first = 0;
    if (count > 0 && lines.size() > static_cast<std::size_t>(count))
        first = lines.size() - static_cast<std::size_t>(count);
    std::wstring out;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!out.empty())
            out += L"\r\n";
        out += ansiToWide(lines[i]);
    }
    if (out.size() > maxLogCharacters)
        out.erase(0, out.size() - maxLogCharacters);
    return out;
}

// A file name made safe for the shared folder: no folders, no odd characters.
std::wstring safeFileName(const std::wstring& name)
{
    std::wstring out;
    for (wchar_t c : getFileName(name)) {
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                           c == L'-' || c == L'_' || c == L'.';
        out += plain ? c : L'_';
    }
    if (out.empty() || out == L"." || out == L"..")
        out = L"upload";
    return out;
}

// Only a plain file is read as a model: a device or a pipe named by a
// client could block the session for ever.
bool isPlainFile(const std::wstring& path)
{
    const std::optional<std::string> real = resolvePath(path);
    struct stat info {};
    return real && ::stat(real->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void applyPacketFault(std::vector<std::uint8_t>& packet, const wendaroFaultRule_t& rule)
{
    switch (rule.action) {
    case action::replacePacket_e:
        packet = rule.bytes;
        break;
    case action::chunkWrongOffset_e:
        // A chunk for the offset after the one asked for.
        if (packet.size() >= 4 && packet[0] == 7) {
            const unsigned offset = (packet[2] | (packet[3] << 8)) + 60u;
            packet[2] = static_cast<std::uint8_t>(offset);
            packet[3] = static_cast<std::uint8_t>(offset >> 8);
        }
        break;
    case action::chunkMisaligned_e:
        if (packet.size() >= 4 && packet[0] == 7)
            packet[2] = static_cast<std::uint8_t>(packet[2] | 1u);
        break;
    case action::chunkShort_e:
        // The count stays; half the bytes are missing.
        if (packet.size() > 4 && packet[0] == 7)
            packet.resize(4 + (packet.size() - 4) / 2);
        break;
    default:
        break;
    }
}

}  // namespace

wendaroSession_t::wendaroSession_t(wendaroServer_t& server, std::uint32_t id, std::wstring peerHost, bool peerLocal)
    : server_(server), id_(id), peerHost_(std::move(peerHost)), peerLocal_(peerLocal)
{
}

wendaroSession_t::~wendaroSession_t() { end(); }

std::optional<std::uint32_t> wendaroSession_t::uploadSize() const
{
    if (!uploading_.load())
        return std::nullopt;
    return uploadSize_.load();
}

void wendaroSession_t::trace(wendaroTraceEntry_t::kind_e kindValue, std::vector<std::wstring> words, int command,
                             int packetType, std::vector<std::uint8_t> bytes, std::string note, bool malformed,
                             int fault)
{
    wendaroTraceEntry_t entry;
    entry.connection = id_;
    entry.machine = machine_ != nullptr ? machine_->id() : 0;
    entry.kind = kindValue;
    entry.words = std::move(words);
    entry.command = command;
    entry.packetType = packetType;
    entry.bytes = std::move(bytes);
    entry.note = std::move(note);
    entry.malformed = malformed;
    entry.fault = fault;
    server_.trace().add(std::move(entry));
}

wendaroSession_t::steps_t wendaroSession_t::greet()
{
    trace(wendaroTraceEntry_t::kind_e::opened_e, {}, -1, -1, {},
          narrowText(peerHost_) + (peerLocal_ ? " (local)" : ""), false, 0);
    wendaroFaults_t::request_t probe;
    probe.connection = id_;
    probe.word = words::greeting;
    const auto fault = server_.faults().match(probe);
    double a = server_.config().greetingA;
    double b = server_.config().greetingB;
    if (fault && fault->rule.action == action::noReply_e) {
        trace(wendaroTraceEntry_t::kind_e::event_e, {}, -1, -1, {}, "fault: no greeting", false,
              fault->id);
        return {};
    }
    if (fault && fault->rule.action == action::greetingVersions_e) {
        a = fault->rule.a;
        b = fault->rule.b;
    }
    wendaroMessage_t message;
    message.word(words::greeting) << a << b << server_.machineList();
    step_t step;
    step.bytes = message.takeBytes();
    trace(wendaroTraceEntry_t::kind_e::out_e, message.takeWords(), -1, -1, step.bytes, std::string(),
          false, fault ? fault->id : 0);
    steps_t steps;
    steps.push_back(std::move(step));
    return steps;
}

wendaroSession_t::steps_t wendaroSession_t::handle(const std::uint8_t* bytes, std::size_t length,
                                                   const goneTest_t& gone)
{
    const wendaroRequest_t request = wendaroRequest_t::read(bytes, length, uploadSize());
    const int code = request.commandCode();
    const bool malformed = !request.complete() || request.trailing > 0;
    std::string inNote = request.problem;
    if (request.complete() && request.trailing > 0) {
        if (!inNote.empty())
            inNote += "; ";
        inNote += std::to_string(request.trailing);
        inNote += " bytes after the fields";
    }
    // Built in place: a braced list would copy the word twice.
    std::vector<std::wstring> inWords;
    inWords.reserve(1);
    inWords.push_back(request.word);
    trace(wendaroTraceEntry_t::kind_e::in_e, std::move(inWords), code, -1,
          std::vector<std::uint8_t>(bytes, bytes + length), std::move(inNote), malformed, 0);

    wendaroFaults_t::request_t probe;
    probe.connection = id_;
    probe.machine = machine_ != nullptr ? machine_->id() : 0;
    probe.word = request.word;
    probe.command = code;
    probe.firstPayloadByte = request.raw.size() > 2 ? request.raw[2] : -1;
    probe.state = machine_ != nullptr ? machine_->printer().machineState() : -1;
    const auto fault = server_.faults().match(probe);
    const int faultId = fault ? fault->id : 0;

    if (fault && machine_ != nullptr) {
        simPrinter_t& printer = machine_->printer();
        switch (fault->rule.action) {
        case action::setError_e:
            printer.setError(static_cast<std::uint8_t>(fault->rule.value));
            break;
        case action::setState_e:
            printer.setState(static_cast<std::uint8_t>(fault->rule.value));
            break;
        case action::openDoor_e:
            printer.setDoorOpen(true);
            break;
        case action::removeMedia_e:
            printer.setMedia(false);
            break;
        default:
            break;
        }
    }

    if (fault && fault->rule.action == action::closeBefore_e) {
        trace(wendaroTraceEntry_t::kind_e::event_e, {}, code, -1, {},
              "fault: connection closed instead of the reply", false, faultId);
        step_t close;
        close.kind = step_t::kind_e::close_e;
        return {close};
    }
    reply_t reply = [&] {
        if (fault && fault->rule.action == action::waitForConnection_e)
            return alone(words::waitForConnection);
        if (fault && fault->rule.action == action::replaceWord_e) {
            return alone([&](wendaroMessage_t& m) {
                socketRequestStream_t& out = m.word(fault->rule.text);
                if (!fault->rule.bytes.empty())
                    out.writeRaw(fault->rule.bytes.data(), fault->rule.bytes.size());
            });
        }
        return dispatch(request, fault, gone);
    }();

    // The request to close is taken whatever becomes of its reply. Each path
    // returns through this once, so the steps (the reply's bytes among them)
    // are moved out, not copied.
    steps_t steps;
    const auto closeRequestLast = [&steps, asks = reply.asksToClose] {
        if (asks) {
            step_t ask;
            ask.kind = step_t::kind_e::askClose_e;
            steps.push_back(std::move(ask));
        }
        return std::move(steps);
    };
    if (fault && fault->rule.action == action::noReply_e) {
        trace(wendaroTraceEntry_t::kind_e::event_e, std::move(reply.words), code, reply.packetType,
              std::move(reply.bytes), "fault: reply withheld", false, faultId);
        return closeRequestLast();
    }
    if (reply.silent) {
        trace(wendaroTraceEntry_t::kind_e::event_e, {}, code, -1, {}, "no reply: " + reply.note,
              false, 0);
        return closeRequestLast();
    }

    std::vector<std::uint8_t> out = std::move(reply.bytes);
    std::vector<std::wstring> outWords = std::move(reply.words);
    if (fault) {
        const wendaroFaultRule_t& rule = fault->rule;
        switch (rule.action) {
        case action::outOfOrder_e: {
            // "HASNEWLOGRESP" then "ERRORLOGINFO": the second stands out of
            // the client's order.
            wendaroMessage_t prefix;
            prefix.word(words::newLog);
            prefix.word(words::errorLogInfo) << errorHistory_t();
            std::vector<std::uint8_t> bytesFirst = prefix.takeBytes();
            bytesFirst.insert(bytesFirst.end(), out.begin(), out.end());
            out = std::move(bytesFirst);
            outWords.insert(outWords.begin(), {words::newLog, words::errorLogInfo});
            break;
        }
        case action::truncate_e:
            if (rule.value >= 0 && static_cast<std::size_t>(rule.value) < out.size())
                out.resize(static_cast<std::size_t>(rule.value));
            break;
        case action::corruptByte_e:
            if (rule.value >= 0 && static_cast<std::size_t>(rule.value) < out.size())
                out[static_cast<std::size_t>(rule.value)] ^= 0xFF;
            break;
        case action::twoMessages_e: {
            wendaroMessage_t second;
            second.word(words::newLog);
            const std::vector<std::uint8_t> more = second.takeBytes();
            out.insert(out.end(), more.begin(), more.end());
            outWords.push_back(words::newLog);
            break;
        }
        default:
            break;
        }
    }
    trace(wendaroTraceEntry_t::kind_e::out_e, std::move(outWords), code, reply.packetType, out,
          std::move(reply.note), false, faultId);

    if (fault && fault->rule.action == action::delay_e && fault->rule.value > 0) {
        step_t pause;
        pause.kind = step_t::kind_e::pause_e;
        pause.ms = static_cast<std::uint32_t>(fault->rule.value);
        steps.push_back(pause);
    }
    if (fault && fault->rule.action == action::splitSend_e && out.size() > 1) {
        const auto half = static_cast<std::ptrdiff_t>(out.size() / 2);
        step_t first;
        first.bytes.assign(out.begin(), out.begin() + half);
        step_t pause;
        pause.kind = step_t::kind_e::pause_e;
        pause.ms = static_cast<std::uint32_t>(std::max(fault->rule.value, 0));
        step_t second;
        second.bytes.assign(out.begin() + half, out.end());
        steps.push_back(std::move(first));
        steps.push_back(pause);
        steps.push_back(std::move(second));
    } else {
        step_t send;
        send.bytes = std::move(out);
        steps.push_back(std::move(send));
    }
    if (fault && fault->rule.action == action::closeAfter_e) {
        step_t close;
        close.kind = step_t::kind_e::close_e;
        steps.push_back(close);
    }
    return closeRequestLast();
}

wendaroSession_t::reply_t wendaroSession_t::dispatch(const wendaroRequest_t& request,
                                                      const std::optional<wendaroFaults_t::match_t>& fault,
                                                      const goneTest_t& gone)
{
    if (!request.complete()) {
        reply_t reply = accepted_ ? withNotices(words::error) : alone(words::error);
        reply.note = "malformed request: " + request.problem;
        return reply;
    }
    const std::wstring& word = request.word;
    if (words::isWord(word, words::controlConnect) || words::isWord(word, words::normalConnect))
        return connect(request);
    if (words::isWord(word, words::textMessage))
        return textMessage(request);
    if (!accepted_) {
        reply_t reply = alone(words::error);
        reply.note = "request before the greeting answer";
        return reply;
    }
    if (words::isWord(word, words::command))
        return command(request, fault, gone);

    if (!control_ && request.known && !readOnlyRequest(word)) {
        reply_t reply = withNotices(words::noPermission);
        reply.note = "view-only connection";
        return reply;
    }
    simPrinter_t& printer = machine_->printer();

    if (words::isWord(word, words::errorLogInfo)) {
        machine_->addNotice(id_, wendaroNotice_t::liveOf(kind::errorLog_e));
        return withNotices(terminal_t());
    }
    if (words::isWord(word, words::fileSenderInfo)) {
        const fileInfo_t info = printer.fileInfo();
        return withNotices([&](wendaroMessage_t& m) { m.word(words::fileSenderInfo) << info; });
    }
    if (words::isWord(word, words::queueInfo))
        return queueList();
    if (words::isWord(word, words::localSliceFile))
        return localSliceFile(request);
    if (words::isWord(word, words::remoteFile))
        return remoteFile(request);
    if (words::isWord(word, words::sendFileBlock))
        return fileBlock(request);
    if (words::isWord(word, words::finishFileSend))
        return finishUpload();
    if (words::isWord(word, words::cancelBuild) || words::isWord(word, words::removeFromQueue) ||
        words::isWord(word, words::moveFileInQueue) || words::isWord(word, words::clearQueue))
        return queueRequest(request);
    if (words::isWord(word, words::pauseQueue) || words::isWord(word, words::resumeQueue)) {
        printer.setQueuePaused(words::isWord(word, words::pauseQueue));
        return queueList();
    }
    if (words::isWord(word, words::buildPartialModel)) {
        reply_t reply = withNotices(words::ok);
        reply.note = "partial model builds are not simulated";
        return reply;
    }
    if (words::isWord(word, words::moveFileToMachine) || words::isWord(word, words::copyFileToMachine))
        return fileToMachine(request, words::isWord(word, words::moveFileToMachine));
    if (words::isWord(word, words::timeEstimate)) {
        machine_->addNotice(id_, wendaroNotice_t::liveOf(kind::timeEstimate_e));
        return withNotices(terminal_t());
    }
    if (words::isWord(word, words::stopSlicing)) {
        return withNotices([](wendaroMessage_t& m) { m.word(words::slicerStatus).writeString(L"Slicing stopped"); });
    }
    if (words::isWord(word, words::machineName)) {
        const std::wstring name = request.texts.empty() ? std::wstring() : request.texts[0];
        if (name.empty()) {
            reply_t reply = withNotices(words::error);
            reply.note = "empty machine name";
            return reply;
        }
        machine_->rename(name, id_);
        machine_->addNotice(id_, wendaroNotice_t::liveOf(kind::machineName_e));
        printer.appendDailyLog(L"Machine renamed to " + name + L" by " + user_);
        return withNotices(terminal_t());
    }
    if (words::isWord(word, words::machineLogData))
        return machineLog(request);
    if (words::isWord(word, words::createDumpFile)) {
        const bool written = request.texts.size() == 2 && server_.writeDump(request.texts[0], request.texts[1]);
        reply_t reply = withNotices(written ? words::ok : words::error);
        if (!written)
            reply.note = "dump file not written";
        return reply;
    }
    if (words::isWord(word, words::closeMasterProgram)) {
        reply_t reply = withNotices(words::ok);
        reply.asksToClose = true;
        return reply;
    }
    reply_t reply = withNotices(words::error);
    reply.note = "unknown word";
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::connect(const wendaroRequest_t& request)
{
    if (accepted_ || textOnly_) {
        reply_t reply = alone(words::error);
        reply.note = "second greeting answer";
        return reply;
    }
    const std::int32_t wanted = request.numbers.empty() ? 0 : request.numbers[0];
    const std::wstring user = request.texts.empty() ? std::wstring() : request.texts[0];
    wendaroMachine_t* machine = wanted == 0 ? server_.firstMachine()
                                            : server_.findMachine(static_cast<std::uint32_t>(wanted));
    if (machine == nullptr && server_.config().unknownMachineToFirst)
        machine = server_.firstMachine();
    if (machine == nullptr)
        return silent("no machine " + narrowText(toStr(wanted)));

    bool control = words::isWord(request.word, words::controlConnect);
    // Control from another computer is withdrawn, as the client's own
    // device manager does.
    if (control && !peerLocal_)
        control = false;
    if (control && server_.config().exclusiveControl) {
        const wendaroMachine_t::controller_t holder = machine->controller();
        if (holder.connection != 0 && holder.connection != id_) {
            // The same user reconnecting before its old connection closed.
            if (holder.user == user && holder.host == peerHost_)
                server_.dropConnection(holder.connection);
            else
                control = false;
        }
        if (control)
            machine->setController({id_, user, peerHost_});
    }

    machine_ = machine;
    user_ = user;
    control_ = control;
    accepted_ = true;
    machine->attach(id_);
    // The first reply after the answer carries the version texts.
    machine->addNotice(id_, wendaroNotice_t::liveOf(kind::embeddedVersion_e));
    machine->printer().writeEmbeddedVersionFile();
    const std::wstring_view access = control ? L"Control Access" : L"View Only";
    const std::wstring idText = toStr(id_);
    machine->printer().appendDailyLog(
        joined({L"Connection ", idText, L" opened: ", user, L" from ", peerHost_, L" (", access, L")"}));
    // A technician taking control belongs to the machine's brief history too.
    if (control)
        machine->printer().appendBriefLog(joined({L"Control access: ", user, L" from ", peerHost_}));
    server_.updateConnection({id_, machine->id(), user, peerHost_, control, false});
    if (server_.logging())
        server_.log(
            joined({L"Connection ", idText, L": ", user, L" on machine ", toStr(machine->id()), L", ", access}));

    const std::uint32_t id = machine->id();
    const std::wstring name = machine->name();
    return alone([&](wendaroMessage_t& m) {
        socketRequestStream_t& out = m.word(control ? words::controlConnect : words::normalConnect);
        out << id;
        out.writeString(name);
    });
}

wendaroSession_t::reply_t wendaroSession_t::textMessage(const wendaroRequest_t& request)
{
    if (!request.message) {
        reply_t reply = accepted_ ? withNotices(words::error) : alone(words::error);
        reply.note = "text message without its record";
        return reply;
    }
    if (!accepted_)
        textOnly_ = true;
    server_.noteTextMessage(*request.message);
    server_.updateConnection({id_, machine_ != nullptr ? machine_->id() : 0u, request.message->user, peerHost_,
                              control_, !accepted_});
    reply_t reply = accepted_ ? withNotices(words::ok) : alone(words::ok);
    reply.note = "text message: " + narrowText(request.message->text);
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::command(const wendaroRequest_t& request,
                                                     const std::optional<wendaroFaults_t::match_t>& fault,
                                                     const goneTest_t& gone)
{
    const int code = request.commandCode();
    if (!control_ && !readOnlyCommand(code)) {
        reply_t reply = withNotices(words::noPermission);
        reply.note = "view-only connection";
        return reply;
    }
    switch (machine_->link()) {
    case wendaroMachine_t::link_e::waitForConnection_e:
        return alone(words::waitForConnection);
    case wendaroMachine_t::link_e::notConnected_e:
        return withNotices(words::deviceNotConnected);
    case wendaroMachine_t::link_e::up_e:
        break;
    }
    // A notice that ends a message takes the place of a status poll's answer.
    if (code == 1 && machine_->hasTerminalNotice(id_)) {
        const std::optional<wendaroNotice_t> notice = machine_->takeTerminal(id_);
        if (notice) {
            reply_t reply = notice->standsAlone() ? alone([&](wendaroMessage_t& m) { notice->writeTo(m); })
                                                  : withNotices([&](wendaroMessage_t& m) { notice->writeTo(m); });
            reply.note = "in place of the status poll's answer";
            return reply;
        }
    }

    simPrinter_t& printer = machine_->printer();
    simReply_t answer = printer.handleQueuedPacket(request.raw.data(), request.raw.size(), id_);
    while (answer.isPending()) {
        if (gone()) {
            printer.cancelReply(answer.ticket);
            return silent("the client left while the printer worked");
        }
        answer = printer.awaitReply(answer.ticket, replySlice);
    }
    if (answer.kind == simReply_t::kind_e::malformed_e) {
        reply_t reply = withNotices(words::error);
        reply.note = "not a device packet";
        return reply;
    }
    if (!answer.isPacket())
        return silent("the printer gave no reply");

    std::vector<std::uint8_t> packet = std::move(answer.packet);
    if (fault)
        applyPacketFault(packet, fault->rule);
    if (packet.size() > words::maxReplyPacketBytes)
        packet.resize(words::maxReplyPacketBytes);
    reply_t reply = withNotices([&](wendaroMessage_t& m) {
        m.word(words::reply).writeRaw(packet.data(), packet.size());
    });
    reply.packetType = packet.empty() ? -1 : packet[0];
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::queueRequest(const wendaroRequest_t& request)
{
    if (!machine_->passwordAccepts(request.password)) {
        reply_t reply = alone(words::wrongPassword);
        reply.note = "wrong password";
        return reply;
    }
    simPrinter_t& printer = machine_->printer();
    const std::wstring& word = request.word;
    const std::int32_t first = request.numbers.empty() ? 0 : request.numbers[0];
    if (words::isWord(word, words::cancelBuild)) {
        const bool cancelled = printer.cancelBuild(first);
        reply_t reply = withNotices(words::cancelBuild);
        if (!cancelled)
            reply.note = "nothing to cancel";
        return reply;
    }
    if (words::isWord(word, words::removeFromQueue)) {
        if (printer.removeFromQueue(first))
            return withNotices(words::removeFromQueue);
        reply_t reply = withNotices(words::error);
        reply.note = "no such waiting entry";
        return reply;
    }
    if (words::isWord(word, words::moveFileInQueue)) {
        const std::int32_t to = request.numbers.size() > 1 ? request.numbers[1] : 0;
        if (printer.moveInQueue(first, to))
            return queueList();
        reply_t reply = withNotices(words::error);
        reply.note = "no such waiting entries";
        return reply;
    }
    printer.clearQueue();
    return queueList();
}

wendaroSession_t::reply_t wendaroSession_t::localSliceFile(const wendaroRequest_t& request)
{
    if (!request.file) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "no record";
        return reply;
    }
    fileSendParams_t record = *request.file;
    record.path = mapSharedPath(record.path);
    std::optional<std::int32_t> index;
    if (isPlainFile(record.path))
        index = machine_->printer().queueModel(record);
    if (!index) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "cannot read " + narrowText(record.path);
        return reply;
    }
    const auto added = static_cast<std::uint32_t>(*index);
    return withNotices([&](wendaroMessage_t& m) { m.word(words::addedFileIndex) << added; });
}

wendaroSession_t::reply_t wendaroSession_t::remoteFile(const wendaroRequest_t& request)
{
    if (!request.file) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "no record";
        return reply;
    }
    const std::int32_t size = request.file->integer(qvrClientSocket_t::uploadFileSizeInteger);
    if (size < 0) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "negative file size";
        return reply;
    }
    if (upload_)
        abandonUpload("replaced by a new upload");
    auto upload = std::make_unique<upload_t>();
    upload->record = *request.file;
    upload->size = static_cast<std::uint32_t>(size);
    const std::wstring source = request.file->name.empty() ? request.file->path : request.file->name;
    upload->storedPath = server_.shareFolder() + L"/" + safeFileName(source) + tempModelFileName;
    const auto mode = std::ios_base::out | std::ios_base::trunc | std::ios_base::binary;
    upload->out.open(upload->storedPath, mode);
    if (!upload->out.is_open()) {
        // The shared folder is made by the first upload, and again when
        // someone has removed it; it is there for every other upload.
        createFolder(server_.shareFolder());
        upload->out.open(upload->storedPath, mode);
    }
    if (!upload->out.is_open()) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "cannot write " + narrowText(upload->storedPath);
        return reply;
    }
    upload_ = std::move(upload);
    uploadSize_.store(upload_->size);
    uploading_.store(true);
    return withNotices(words::sendFileBlock);
}

wendaroSession_t::reply_t wendaroSession_t::fileBlock(const wendaroRequest_t& request)
{
    if (!upload_) {
        reply_t reply = withNotices(words::error);
        reply.note = "no upload pending";
        return reply;
    }
    const auto offset = static_cast<std::uint32_t>(request.numbers.empty() ? 0 : request.numbers[0]);
    if (offset != upload_->received ||
        static_cast<std::uint64_t>(upload_->received) + request.raw.size() > upload_->size) {
        abandonUpload("block at " + narrowText(toStr(offset)) + ", expected " +
                      narrowText(toStr(upload_->received)));
        reply_t reply = withNotices(words::error);
        reply.note = "upload abandoned: blocks out of order";
        return reply;
    }
    upload_->out.write(reinterpret_cast<const char*>(request.raw.data()),
                       static_cast<std::streamsize>(request.raw.size()));
    if (!upload_->out) {
        abandonUpload("write failed");
        reply_t reply = withNotices(words::error);
        reply.note = "upload abandoned: write failed";
        return reply;
    }
    upload_->received += static_cast<std::uint32_t>(request.raw.size());
    return withNotices(words::sendFileBlock);
}

wendaroSession_t::reply_t wendaroSession_t::finishUpload()
{
    if (!upload_) {
        reply_t reply = withNotices(words::error);
        reply.note = "no upload pending";
        return reply;
    }
    if (upload_->received != upload_->size) {
        abandonUpload("finished early");
        reply_t reply = withNotices(words::error);
        reply.note = "upload abandoned: finished before the whole file came";
        return reply;
    }
    upload_->out.close();
    fileSendParams_t record = upload_->record;
    record.path = upload_->storedPath;
    upload_.reset();
    uploading_.store(false);
    const std::optional<std::int32_t> index = machine_->printer().queueModel(record);
    if (!index) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "uploaded file is no model";
        return reply;
    }
    return withNotices(words::finishFileSend);
}

void wendaroSession_t::abandonUpload(const std::string& why)
{
    if (!upload_)
        return;
    upload_->out.close();
    deleteFile(upload_->storedPath);
    trace(wendaroTraceEntry_t::kind_e::event_e, {}, -1, -1, {}, "upload abandoned: " + why, false,
          0);
    upload_.reset();
    uploading_.store(false);
}

wendaroSession_t::reply_t wendaroSession_t::fileToMachine(const wendaroRequest_t& request, bool move)
{
    const std::int32_t index = request.numbers.empty() ? -1 : request.numbers[0];
    const std::vector<fileSendParams_t> list = machine_->printer().queueList();
    wendaroMachine_t* target =
        request.machine ? server_.findMachine(static_cast<std::uint32_t>(request.machine->machineID)) : nullptr;
    if (target == nullptr || index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "no such queue entry or machine";
        return reply;
    }
    if (!target->printer().queueModel(list[static_cast<std::size_t>(index)])) {
        reply_t reply = withNotices(words::addFileError);
        reply.note = "target machine cannot read the model";
        return reply;
    }
    if (move)
        machine_->printer().removeFromQueue(index);
    return withNotices(words::ok);
}

wendaroSession_t::reply_t wendaroSession_t::machineLog(const wendaroRequest_t& request)
{
    const int lines = request.numbers.empty() ? 0 : request.numbers[0];
    const std::wstring text =
        logHeader(std::time(nullptr)) + tailLines(machine_->printer().dailyLogPath(), lines < 0 ? 0 : lines);
    return alone([&](wendaroMessage_t& m) { m.word(words::machineLogData).writeString(text); });
}

wendaroSession_t::reply_t wendaroSession_t::queueList()
{
    machine_->pumpEvents();
    std::vector<wendaroNotice_t> chained = machine_->takeChained(id_);
    std::vector<fileSendParams_t> list = machine_->printer().queueList();
    reply_t reply;
    for (;;) {
        wendaroMessage_t message;
        for (const wendaroNotice_t& notice : chained)
            notice.writeTo(message);
        message.word(words::queueInfo) << list;
        reply.bytes = message.takeBytes();
        reply.words = message.takeWords();
        if (reply.bytes.size() <= words::maxMessageBytes || list.empty())
            break;
        list.pop_back();
        reply.note = "queue list cut to fit one message";
    }
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::withNotices(const terminal_t& terminal)
{
    wendaroMessage_t message;
    if (machine_ != nullptr) {
        machine_->pumpEvents();
        for (const wendaroNotice_t& notice : machine_->takeChained(id_))
            notice.writeTo(message);
    }
    if (terminal)
        terminal(message);
    reply_t reply;
    if (message.empty())
        message.word(words::ok);
    reply.bytes = message.takeBytes();
    reply.words = message.takeWords();
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::withNotices(std::wstring_view word)
{
    return withNotices([&](wendaroMessage_t& m) { m.word(word); });
}

wendaroSession_t::reply_t wendaroSession_t::alone(const terminal_t& terminal)
{
    wendaroMessage_t message;
    terminal(message);
    reply_t reply;
    reply.bytes = message.takeBytes();
    reply.words = message.takeWords();
    return reply;
}

wendaroSession_t::reply_t wendaroSession_t::alone(std::wstring_view word)
{
    return alone([&](wendaroMessage_t& m) { m.word(word); });
}

wendaroSession_t::reply_t wendaroSession_t::silent(const std::string& note)
{
    reply_t reply;
    reply.silent = true;
    reply.note = note;
    return reply;
}

std::wstring wendaroSession_t::mapSharedPath(const std::wstring& path) const
{
    // The record reader puts a bare file name into the shared folder of the
    // reading side's data root; this server's shared folder is its own.
    const std::wstring reader = getSharedFolder() + L"/";
    if (path.size() > reader.size() && path.compare(0, reader.size(), reader) == 0) {
        const std::wstring bare = path.substr(reader.size());
        if (bare.find_first_of(L"\\/") == std::wstring::npos)
            return server_.shareFolder() + L"/" + bare;
    }
    return path;
}

void wendaroSession_t::end()
{
    if (ended_)
        return;
    ended_ = true;
    if (upload_)
        abandonUpload("connection closed");
    if (machine_ != nullptr) {
        machine_->detach(id_);
        machine_->printer().appendDailyLog(joined({L"Connection ", toStr(id_), L" closed: ", user_}));
    }
    trace(wendaroTraceEntry_t::kind_e::closed_e, {}, -1, -1, {}, std::string(), false, 0);
}
