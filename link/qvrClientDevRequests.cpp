// The client device's requests to the server, its machine commands and unit
// conversions, and the records the server tells it about.
#include "link/inputStream.h"
#include "link/qvrClientDev.h"
#include "link/socketRequestStream.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/littleEndian.h"
#include "machine/longnameStream.h"
#include "machine/machineParam.h"
#include "machine/registryUtils.h"
#include "machine/systemInfo.h"
#include "machine/units.h"
#include "machine/wstr.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const wchar_t* stepSizeNames[] = {L"X Step Size", L"Y Step Size", L"Z Step Size", L"Pump Step Size",
                                            L"Feeder Step Size"};

// Lengths far beyond any machine, kept so that no product or sum overflows.
constexpr std::int64_t lengthLimit = std::int64_t{1} << 52;

std::int64_t clampLength(std::int64_t value)
{
    return std::clamp(value, -lengthLimit, lengthLimit);
}

}  // namespace

// --- queue requests ------------------------------------------------------------------

bool qvrClientDev_t::queueRequestBuffer(const packetBuffer_t& request)
{
    if (request.kind() != packetBuffer_t::requestMessage || request.length() <= 0)
        return false;
    lockGuard_t guard(lock);
    if (refusesSendsLocked())
        return false;
    queue.push(request);
    return true;
}

bool qvrClientDev_t::queueRequest(outputStream_t& stream)
{
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    if (!qvrClientSocket_t::finishRequest(request, stream))
        return false;
    return queueRequestBuffer(request);
}

void qvrClientDev_t::queueWord(const wchar_t* word)
{
    socketRequestStream_t request(word);
    queueRequest(request);
}

void qvrClientDev_t::pauseQueue(std::int32_t n)
{
    socketRequestStream_t request(L"PAUSEQUEUE");
    request << n;
    queueRequest(request);
}

void qvrClientDev_t::resumeQueue(std::int32_t n)
{
    socketRequestStream_t request(L"RESUMEQUEUE");
    request << n;
    queueRequest(request);
}

void qvrClientDev_t::buildPartialModel(std::int32_t n)
{
    socketRequestStream_t request(L"BUILDPARTIALMODEL");
    request << n;
    queueRequest(request);
}

void qvrClientDev_t::removeFromQueue(std::int32_t index, const std::wstring& password)
{
    socketRequestStream_t request(L"REMOVEFROMQUEUE", password);
    request << index;
    queueRequest(request);
}

void qvrClientDev_t::moveFileInQueue(std::int32_t from, std::int32_t to, const std::wstring& password)
{
    socketRequestStream_t request(L"MOVEFILEINQUEUE", password);
    request << from << to;
    queueRequest(request);
}

void qvrClientDev_t::clearQueue(const std::wstring& password)
{
    socketRequestStream_t request(L"CLEARQUEUE", password);
    queueRequest(request);
}

void qvrClientDev_t::cancelBuild(std::int32_t index, const std::wstring& password)
{
    socketRequestStream_t request(L"CANCELBUILD", password);
    request << index;
    queueRequest(request);
}

void qvrClientDev_t::sendMachineName(const std::wstring& name)
{
    socketRequestStream_t request(L"SENDMACHINENAME");
    request.writeString(name);
    queueRequest(request);
}

void qvrClientDev_t::requestMachineLog(std::int32_t n)
{
    socketRequestStream_t request(L"MACHINELOGDATA");
    request << n;
    queueRequest(request);
}

void qvrClientDev_t::createDumpFile(const std::wstring& a, const std::wstring& b)
{
    socketRequestStream_t request(L"CREATEDUMPFILE");
    request.writeString(a);
    request.writeString(b);
    queueRequest(request);
}

void qvrClientDev_t::requestQueueInfo() { queueWord(L"QUEUEINFO"); }

void qvrClientDev_t::requestFileSenderInfo() { queueWord(L"FILESENDERINFO"); }

void qvrClientDev_t::requestErrorHistory() { queueWord(L"ERRORLOGINFO"); }

void qvrClientDev_t::closeMasterProgram() { queueWord(L"CLOSEMASTERPROGRAM"); }

void qvrClientDev_t::requestTimeEstimate(std::int32_t a, std::int32_t b)
{
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    if (qvrClientSocket_t::buildTimeEstimate(request, a, b))
        queueRequestBuffer(request);
}

void qvrClientDev_t::stopSlicing()
{
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    if (qvrClientSocket_t::buildStopSlicing(request))
        queueRequestBuffer(request);
}

void qvrClientDev_t::sendFileToMachine(std::int32_t index, const fileSendParams_t& record, bool move)
{
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    if (qvrClientSocket_t::buildFileToMachine(request, index, record, move))
        queueRequestBuffer(request);
}

// --- model files (the hand-over itself is in qvrClientDevUpload.cpp) ----------------------

fileSendParams_t qvrClientDev_t::getPendingModelFile()
{
    lockGuard_t guard(lock);
    return pendingFile_;
}

int qvrClientDev_t::getUploadProgress()
{
    lockGuard_t guard(lock);
    return socket_ != nullptr ? socket_->uploadProgress() : -1;
}

// --- machine commands ---------------------------------------------------------------------

void qvrClientDev_t::moveZtoSafePos()
{
    const machineParam_t* safe = findParameter(-1, L"Z Safe Pos");
    const machineParam_t* delta = findParameter(-1, L"Z Base Delta");
    std::int64_t target;
    {
        lockGuard_t guard(lock);
        target = static_cast<std::int64_t>(safe != nullptr ? parameters[safe->index()] : 0) +
                 status.measuredHeight() + (delta != nullptr ? parameters[delta->index()] : 0);
    }
    // A sum the machine cannot take is not sent wrapped.
    if (target < std::numeric_limits<std::int32_t>::min() || target > std::numeric_limits<std::int32_t>::max())
        return;
    sendCommandArgs(129, 1, 2, 4, static_cast<std::int32_t>(target));
}

void qvrClientDev_t::prepareForBatch()
{
    switch (getMachineState()) {
    case 5:
        break;
    case 1:
    case 7:
        sendCommand(4);
        sendCommand(146);
        sendCommand(1);
        break;
    case 2:
        sendCommand(146);
        sendCommand(1);
        break;
    default:
        sendCommand(1);
        break;
    }
}

void qvrClientDev_t::releaseFromBatch()
{
    if (getMachineState() == 7)
        sendCommand(4);
    sendCommand(158);
}

bool qvrClientDev_t::hasLayerRequestWaiting()
{
    lockGuard_t guard(lock);
    for (const packetBuffer_t& packet : queue.packets()) {
        if (packet.kind() == packetBuffer_t::devicePacket && packet.length() >= 2 && packet.u8(1) == 10)
            return true;
    }
    return false;
}

void qvrClientDev_t::requestLayerRecords(std::int32_t maxRequests)
{
    std::int32_t layers;
    {
        lockGuard_t guard(lock);
        layers = status.layerRecordCount();
    }
    if (layers <= 0)
        return;
    // Layers past the table are never stored, so they are not asked for
    // either: asking would leave the fetch stale and restart it for ever.
    const std::int32_t last = std::min(layers, layerRecordCapacity - 1);
    lockGuard_t guard(lock);
    const bool stale = lastReceivedLayer_ < lastRequestedLayer_ && !hasLayerRequestWaiting();
    if (!stale) {
        std::int32_t made = 0;
        while (lastRequestedLayer_ < last && made < maxRequests) {
            ++lastRequestedLayer_;
            sendCommandArgs(10, 2, lastRequestedLayer_);
            ++made;
        }
        if (last >= lastRequestedLayer_)
            return;
    }
    // Stale, or the build has fewer layers than were asked for: start again.
    lastRequestedLayer_ = 0;
    lastReceivedLayer_ = -1;
    sendCommandArgs(10, 2, 0);
}

layerRecord_t qvrClientDev_t::getLayerRecord(std::int32_t index)
{
    if (index < 0 || index >= layerRecordCapacity)
        return layerRecord_t();
    lockGuard_t guard(lock);
    return layerRecords_[static_cast<std::size_t>(index)];
}

std::int32_t qvrClientDev_t::getLastReceivedLayerIndex()
{
    lockGuard_t guard(lock);
    return lastReceivedLayer_;
}

std::int32_t qvrClientDev_t::getLastRequestedLayerIndex()
{
    lockGuard_t guard(lock);
    return lastRequestedLayer_;
}

// --- units -----------------------------------------------------------------------------

std::int32_t qvrClientDev_t::stepSizeOf(std::int32_t axis)
{
    if (axis < 0 || axis >= static_cast<std::int32_t>(std::size(stepSizeNames)))
        return 0;
    const machineParam_t* param = findParameter(-1, stepSizeNames[axis]);
    return param != nullptr ? getParamValue(*param) : 0;
}

std::int64_t qvrClientDev_t::nanoToSteps(std::int32_t axis, std::int64_t nanometres)
{
    return nanoToStepsWith(stepSizeOf(axis), clampLength(nanometres));
}

std::int64_t qvrClientDev_t::stepsToNano(std::int32_t axis, std::int64_t steps)
{
    // Step sizes fit 31 bits, so a clamped step count cannot overflow.
    return stepsToNanoWith(stepSizeOf(axis), std::clamp<std::int64_t>(steps, -(std::int64_t{1} << 31),
                                                                      std::int64_t{1} << 31));
}

std::int64_t qvrClientDev_t::mmToSteps(std::int32_t axis, double mm)
{
    const double nanometres = std::trunc(mm * 1000000.0);
    if (std::isnan(nanometres))
        return 0;
    const double limit = static_cast<double>(lengthLimit);
    return nanoToSteps(axis, static_cast<std::int64_t>(std::clamp(nanometres, -limit, limit)));
}

double qvrClientDev_t::stepsToMm(std::int32_t axis, std::int64_t steps)
{
    return static_cast<double>(stepsToNano(axis, steps)) / 1000000.0;
}

std::wstring qvrClientDev_t::motorName(std::int32_t axis)
{
    return ::motorName(axis);
}

std::wstring qvrClientDev_t::toolTypeName(std::int32_t type)
{
    switch (type) {
    case 0: return L"Cutting Knife";
    case 4: return L"AG mini (1mm)";
    case 5: return L"AG midi (3mm)";
    case 6: return L"AG maxi (6mm)";
    case 7: return L"AG maxi 2 (6mm)";
    case 9: return L"Trim Knife";
    case 1:
    case 2:
    case 3:
    case 8:
    case 10:
    case 11: return L"Unused Tool";
    default: return L"---Error---";
    }
}

void qvrClientDev_t::getBaseDirectory(std::wstring& out)
{
    out = regReadString(qvrCommRegistryKey, baseDirectoryValueName, L"", HKEY_CURRENT_USER);
    createFolder(out);
}

bool qvrClientDev_t::setBaseDirectory(const std::wstring& folder)
{
    // Every device builds its paths below the data root, so the setting
    // never names a folder that is not there.
    if (!createFolder(folder))
        return false;
    return regWriteString(qvrCommRegistryKey, baseDirectoryValueName, folder, HKEY_CURRENT_USER);
}

// --- the machine's identity ----------------------------------------------------------------

void qvrClientDev_t::setMachineID(std::int32_t id)
{
    if (id < 1)
        return;
    const machineParam_t* idParam = findParameter(0, L"Machine ID");
    lockGuard_t guard(lock);
    parameters[idParam != nullptr ? idParam->index() : 0] = id;
    const std::uint32_t previous = status.machineID();
    status.setMachineID(static_cast<std::uint32_t>(id));
    bool existed = false;
    createFolder(getMachineFolder(), &existed);
    createMachineFolders();
    if (!existed)
        saveParametersFile();
    // Either way the memory now holds what the machine's files say.
    loadMachineParameters();
    status.setMachineID(previous);
}

bool qvrClientDev_t::openOffline(std::int32_t id)
{
    std::wstring folder;
    {
        lockGuard_t guard(lock);
        if (linkState != 0)
            return false;
        status.setMachineID(static_cast<std::uint32_t>(id));
    }
    if (!isFolder(getMachineFolder()))
        return false;
    std::int32_t version = 2050;
    {
        longname_ifstream in(getEmbeddedVersionPath());
        std::int32_t read = 0;
        if (in.is_open() && (in >> read))
            version = read;
    }
    {
        lockGuard_t guard(lock);
        info.setEmbeddedVersion(static_cast<std::uint16_t>(version));
    }
    loadMachineParameters();
    lockGuard_t guard(lock);
    machineName = L"#" + toStr(id);
    return true;
}

void qvrClientDev_t::setServerMachineID(std::uint32_t id)
{
    lockGuard_t guard(lock);
    const std::uint32_t previous = status.machineID();
    status.setMachineID(id);
    if (previous != id)
        onMachineIdChanged(previous);
}

void qvrClientDev_t::takeParameterBlock(const std::uint8_t* bytes4096, bool localHost)
{
    if (localHost) {
        // The server shares this computer's files: they are the newer copy.
        loadMachineParameters();
        return;
    }
    std::int32_t words[memoryWords];
    for (std::int32_t i = 0; i < memoryWords; ++i)
        words[i] = le::getI32(bytes4096 + 4 * i);
    storeMachineParameters(words);
}

// --- what the server tells ------------------------------------------------------------------

void qvrClientDev_t::setMachineName(const std::wstring& name)
{
    lockGuard_t guard(lock);
    machineName = name;
}

void qvrClientDev_t::setEmbeddedVersionText(const std::wstring& text)
{
    lockGuard_t guard(lock);
    embeddedVersionText = text;
}

void qvrClientDev_t::setExtraVersionText(const std::wstring& text)
{
    lockGuard_t guard(lock);
    extraVersionText_ = text;
}

void qvrClientDev_t::setLogFileNames(const std::wstring& first, const std::wstring& second)
{
    {
        lockGuard_t guard(lock);
        logFileNames_[0] = first;
        logFileNames_[1] = second;
    }
    notify(117);
}

void qvrClientDev_t::setTimeEstimate(std::int32_t estimate, std::int32_t threshold)
{
    {
        lockGuard_t guard(lock);
        timeEstimate[0] = estimate;
        timeEstimate[1] = threshold;
    }
    notify(113);
}

void qvrClientDev_t::setMachineLogText(const std::wstring& text)
{
    {
        lockGuard_t guard(lock);
        machineLogText_ = text;
    }
    notify(147);
}

void qvrClientDev_t::setFileInfo(const fileInfo_t& record)
{
    bool changed;
    {
        lockGuard_t guard(lock);
        changed = record.isPresent() || fileInfo.isPresent();
        fileInfo = record;
    }
    if (changed)
        notify(133);
}

void qvrClientDev_t::setModelInfo(const qvrHostModelInfo_t& record)
{
    {
        lockGuard_t guard(lock);
        modelInfo = record;
    }
    notify(120);
}

void qvrClientDev_t::setErrorHistory(const errorHistory_t& record)
{
    lockGuard_t guard(lock);
    errorHistory_ = record;
}

void qvrClientDev_t::setServerMachines(const std::vector<machineHostIDname_t>& machines)
{
    lockGuard_t guard(lock);
    serverMachines_ = machines;
}

void qvrClientDev_t::setServerVersion(double version)
{
    lockGuard_t guard(lock);
    serverVersion_ = version;
}

void qvrClientDev_t::setPausingUser(const std::wstring& user)
{
    lockGuard_t guard(lock);
    pausingUser = user;
}

void qvrClientDev_t::setSlicerStatusText(const std::wstring& text)
{
    lockGuard_t guard(lock);
    slicerStatusText_ = text;
}

void qvrClientDev_t::setWrongPassword(bool wrong)
{
    lockGuard_t guard(lock);
    wrongPassword_ = wrong;
}

void qvrClientDev_t::setQueueChangeCount(std::uint32_t count)
{
    lockGuard_t guard(lock);
    queueChangeCount_ = count;
}

void qvrClientDev_t::setAddedFileIndex(std::int32_t index)
{
    lockGuard_t guard(lock);
    addedFileIndex_ = index;
}

void qvrClientDev_t::readQueueInfo(inputStream_t& in)
{
    std::vector<fileSendParams_t> list;
    in >> list;
    const std::wstring user = getUserName();
    const auto own = std::count_if(list.begin(), list.end(),
                                   [&](const fileSendParams_t& entry) { return entry.displayName == user; });
    lockGuard_t guard(lock);
    buildQueue = std::move(list);
    ownQueueEntries_ = static_cast<std::int32_t>(own);
}

// --- getters -------------------------------------------------------------------------------

errorHistory_t qvrClientDev_t::getErrorHistory()
{
    lockGuard_t guard(lock);
    return errorHistory_;
}

std::vector<machineHostIDname_t> qvrClientDev_t::getServerMachines()
{
    lockGuard_t guard(lock);
    return serverMachines_;
}

std::pair<std::wstring, std::wstring> qvrClientDev_t::getLogFileNames()
{
    lockGuard_t guard(lock);
    return {logFileNames_[0], logFileNames_[1]};
}

std::wstring qvrClientDev_t::getMachineLogText()
{
    lockGuard_t guard(lock);
    return machineLogText_;
}

std::wstring qvrClientDev_t::getSlicerStatusText()
{
    lockGuard_t guard(lock);
    return slicerStatusText_;
}

std::wstring qvrClientDev_t::getExtraVersionText()
{
    lockGuard_t guard(lock);
    return extraVersionText_;
}

std::pair<std::int32_t, std::int32_t> qvrClientDev_t::getTimeEstimate()
{
    lockGuard_t guard(lock);
    return {timeEstimate[0], timeEstimate[1]};
}

double qvrClientDev_t::getServerVersion()
{
    lockGuard_t guard(lock);
    return serverVersion_;
}

std::int32_t qvrClientDev_t::getOwnQueueEntries()
{
    lockGuard_t guard(lock);
    return ownQueueEntries_;
}

std::uint32_t qvrClientDev_t::getQueueChangeCount()
{
    lockGuard_t guard(lock);
    return queueChangeCount_;
}

bool qvrClientDev_t::getWrongPassword()
{
    lockGuard_t guard(lock);
    return wrongPassword_;
}

std::int32_t qvrClientDev_t::getAddedFileIndex()
{
    lockGuard_t guard(lock);
    return addedFileIndex_;
}

std::wstring qvrClientDev_t::getHost()
{
    lockGuard_t guard(lock);
    return host_;
}

int qvrClientDev_t::getPort()
{
    lockGuard_t guard(lock);
    return port_;
}

std::int32_t qvrClientDev_t::getRequestedMachineID()
{
    lockGuard_t guard(lock);
    return requestedMachineId_;
}

bool qvrClientDev_t::hasControlAccess()
{
    lockGuard_t guard(lock);
    return socket_ != nullptr && socket_->hasControlAccess();
}

bool qvrClientDev_t::isListenerSocket()
{
    lockGuard_t guard(lock);
    return fromListener_;
}

std::uint32_t qvrClientDev_t::sentCount()
{
    lockGuard_t guard(lock);
    return sentCount_;
}

fileInfo_t qvrClientDev_t::getFileInfo()
{
    return qvrCommDev_t::getFileInfo();
}

std::wstring qvrClientDev_t::accessModeText()
{
    return hasControlAccess() ? L"Control Access" : L"View Only";
}

bool qvrClientDev_t::isSameMachine(const machineHostIDname_t& machine)
{
    lockGuard_t guard(lock);
    return requestedMachineId_ == machine.machineID && host_ == machine.host;
}
