// Reply packets from the machine, the records they carry and the texts
// derived from them. Every handler checks the packet's length against its
// layout first: a short packet never yields stale or foreign bytes.
#include "machine/qvrCommDev.h"
#include "machine/globalNames.h"
#include "machine/longnameStream.h"
#include "machine/wstr.h"
#include "platform/paths.h"

void qvrCommDev_t::onPacket(const packetBuffer_t& reply)
{
    switch (reply.u8(0)) {
    case 1: onStatus(reply); break;
    case 2: notifyWithFrontCode(102); break;
    case 3: onPacket3(reply); break;
    case 4: notifyWithFrontCode(105); break;
    case 5: notifyWithFrontCode(107); break;
    case 6: onPacket6(reply); break;
    case 7: onParameterChunk(reply); break;
    case 8: onModelInfo(reply); break;
    case 9: onLayerRecord(reply); break;
    case 10: onPacket10(reply); break;
    case 11: onMachineInfo(reply); break;
    case 12: onPacket12(reply); break;
    case 13: onStatusReply(reply); break;
    default: break;
    }
}

void qvrCommDev_t::notifyWithFrontCode(std::int32_t baseCode)
{
    packetBuffer_t front(commandPacketCapacity);
    if (!queue.peekFront(front))
        return;
    notify(baseCode + (static_cast<std::int32_t>(front.u8(1)) << 16));
}

void qvrCommDev_t::onStatus(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(machineStatus_t::size)))
        return;
    lockGuard_t guard(lock);
    const std::uint32_t oldId = status.machineID();
    status.assign(reply.data() + 1, machineStatus_t::size);
    if (status.machineID() != oldId)
        onMachineIdChanged(oldId);
    const std::uint32_t flags = status.flags();
    if ((flags & machineStatus_t::flagBit0) != 0)
        onStatusBit0();
    if ((flags & machineStatus_t::flagBit13) == 0)
        onStatusBit13Clear();
    if (!machineInfoPending)
        notify(111);
    const std::uint8_t state = status.machineState();
    if (state == 11 && !state11Reported) {
        state11Reported = true;
        notify(122);
    } else if (state != 11 && state11Reported) {
        state11Reported = false;
        notify(123);
    }
}

void qvrCommDev_t::onStatusReply(const packetBuffer_t& reply) { onStatus(reply); }

void qvrCommDev_t::onMachineIdChanged(std::uint32_t oldId)
{
    lockGuard_t guard(lock);
    const std::uint32_t newId = status.machineID();
    if (newId == oldId)
        return;
    if (oldId != 0 || acceptNewMachine()) {
        createFoldersIfIdKnown();
        if (oldId != 0 && newId != 0)
            notify(1);
    } else {
        stopRequest.set();
    }
}

void qvrCommDev_t::onMachineInfo(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(machineInfo_t::size)))
        return;
    bool idKnown = false;
    bool first = false;
    std::uint16_t version = 0;
    {
        lockGuard_t guard(lock);
        info.assign(reply.data() + 1, machineInfo_t::size);
        idKnown = status.machineID() != 0;
        version = info.embeddedVersion();
        if (idKnown && machineInfoPending) {
            machineInfoPending = false;
            first = true;
        }
    }
    if (!idKnown)
        return;
    if (version != 0)
        rememberEmbeddedVersion(version);
    notify(143);
    if (first) {
        loadMachineParameters();
        notify(151);
    }
}

void qvrCommDev_t::onModelInfo(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(qvrHostModelInfo_t::packetSize)))
        return;
    {
        lockGuard_t guard(lock);
        modelInfo.readPacket(reply.data() + 1, static_cast<std::size_t>(reply.length() - 1));
    }
    notify(120);
}

void qvrCommDev_t::onParametersRead() { notify(108); }

void qvrCommDev_t::onParameterChunk(const packetBuffer_t& reply)
{
    // [7][count][u16 byte offset][count bytes]
    const std::int32_t count = reply.u8(1);
    const std::int32_t offset = reply.u16(2);
    const bool readable = reply.holds(0, 4) && count <= reply.length() - 4 && offset % 4 == 0;
    if (readable)
        notify(109);
    bool matched = false;
    {
        lockGuard_t guard(lock);
        if (rereadDeferred) {
            rereadDeferred = false;
            requestedOffset = -1;
            requestParameterChunk(0);
        } else if (!readable || offset != requestedOffset || count == 0) {
            // A chunk that cannot be taken ends the read, as one for another
            // offset does; a later request for offset 0 starts afresh.
            requestedOffset = -1;
        } else {
            for (std::int32_t i = 0; i + 4 <= count; i += 4) {
                const std::int32_t word = (offset + i) / 4;
                if (word < memoryWords)
                    machineParameters[word] = reply.i32(4 + i);
            }
            matched = true;
        }
    }
    if (!matched)
        return;
    // A machine that answers past the end has delivered the last chunk too.
    if (offset + count >= memoryBytes) {
        {
            lockGuard_t guard(lock);
            requestedOffset = -1;
        }
        onParametersRead();
    } else {
        requestParameterChunk(offset + count);
    }
}

// --- getters ----------------------------------------------------------------

machineStatus_t qvrCommDev_t::getStatus()
{
    lockGuard_t guard(lock);
    return status;
}

machineInfo_t qvrCommDev_t::getMachineInfo()
{
    lockGuard_t guard(lock);
    return info;
}

qvrHostModelInfo_t qvrCommDev_t::getModelInfo()
{
    lockGuard_t guard(lock);
    return modelInfo;
}

fileInfo_t qvrCommDev_t::getFileInfo()
{
    lockGuard_t guard(lock);
    return fileInfo;
}

std::int32_t qvrCommDev_t::getMachineState()
{
    lockGuard_t guard(lock);
    return status.machineState();
}

std::uint32_t qvrCommDev_t::getMachineID()
{
    lockGuard_t guard(lock);
    return status.machineID();
}

std::int32_t qvrCommDev_t::getCurrentTool()
{
    lockGuard_t guard(lock);
    return info.currentTool();
}

std::wstring qvrCommDev_t::getMachineName()
{
    lockGuard_t guard(lock);
    return machineName;
}

std::wstring qvrCommDev_t::getEmbeddedVersionText()
{
    lockGuard_t guard(lock);
    return embeddedVersionText;
}

std::wstring qvrCommDev_t::getPausingUser()
{
    lockGuard_t guard(lock);
    return pausingUser;
}

std::vector<fileSendParams_t> qvrCommDev_t::getBuildQueue()
{
    lockGuard_t guard(lock);
    return buildQueue;
}

bool qvrCommDev_t::isBuilding()
{
    lockGuard_t guard(lock);
    return status.hasFlag(machineStatus_t::flagBuilding);
}

bool qvrCommDev_t::isModelEnd()
{
    lockGuard_t guard(lock);
    return status.hasFlag(machineStatus_t::flagModelEnded);
}

bool qvrCommDev_t::isAxisFlagSet(std::int32_t axis)
{
    lockGuard_t guard(lock);
    switch (axis) {
    case 0: return status.hasFlag(machineStatus_t::flagXYAxis);
    case 2: return status.hasFlag(machineStatus_t::flagZAxis);
    case 3: return status.hasFlag(machineStatus_t::flagPumpAxis);
    case 4: return status.hasFlag(machineStatus_t::flagFeederAxis);
    default: return false;
    }
}

bool qvrCommDev_t::isDOORopen()
{
    lockGuard_t guard(lock);
    const std::uint32_t sensors = status.sensorWord();
    if (info.hardwareRevision() == 1000)
        return (sensors & (1u << 19)) != 0;
    return (sensors & ((1u << 11) | (1u << 12))) != 0;
}

std::int32_t qvrCommDev_t::getStatusByte34()
{
    lockGuard_t guard(lock);
    if (status.hasFlag(machineStatus_t::flagBuilding) && status.machineState() == 2 && info.embeddedVersion() >= 1032)
        return status.byte34();
    return 0;
}

std::int32_t qvrCommDev_t::getBuildTimeEstimate(std::int32_t* total, std::int32_t* percent)
{
    lockGuard_t guard(lock);
    const std::int32_t current = status.currentLayer();
    const std::int32_t firstLayer = status.firstLayer();
    const std::int32_t lastLayer = status.lastLayer();
    double progress = 1.0;
    if (!(lastLayer < firstLayer || lastLayer < current || status.hasFlag(machineStatus_t::flagModelEnded)))
        progress = static_cast<double>(current - firstLayer + 1) / static_cast<double>(lastLayer - firstLayer + 1);
    const auto percentDone = static_cast<std::int32_t>(progress * 100.0);
    // Signed throughout, so that an estimate already passed counts as <= 0.
    const std::int64_t elapsedSeconds = status.elapsedMs() / 1000u;
    std::int64_t remaining = static_cast<std::int64_t>(timeEstimate[0]) - elapsedSeconds;
    std::int64_t totalSeconds = timeEstimate[0];
    if (percentDone >= timeEstimate[1] || percentDone > 90 || remaining <= 0) {
        remaining = static_cast<std::int64_t>(status.remainingMinutes()) * 60;
        totalSeconds = remaining + elapsedSeconds;
    }
    if (total != nullptr)
        *total = static_cast<std::int32_t>(totalSeconds);
    if (percent != nullptr)
        *percent = percentDone;
    return static_cast<std::int32_t>(remaining);
}

bool qvrCommDev_t::isEmbeddedVersionAtLeast1120()
{
    std::wstring path;
    {
        lockGuard_t guard(lock);
        const std::uint16_t version = info.embeddedVersion();
        if (version != 0)
            return version >= 1120;
        path = machineFolderLocked() + L"/" + settingsFolderName + L"/" + embeddedVersionFileName;
    }
    // Until the machine tells its version, the one the last session kept
    // decides. Callers ask once per parameter they read or write, so the file
    // is read again only when it (or the machine folder) changed.
    const auto linuxPath = resolvePath(path);
    const fileStamp_t stamp = linuxPath ? statStamp(*linuxPath) : fileStamp_t{};
    {
        lockGuard_t guard(lock);
        if (versionFileAnswer.valid && versionFileAnswer.path == path && versionFileAnswer.stamp == stamp)
            return versionFileAnswer.atLeast1120;
    }
    bool atLeast1120 = true;
    {
        basic_longname_ifstream<char> in(path);
        if (in.is_open()) {
            std::int32_t version = 0;
            in >> version;
            atLeast1120 = version >= 1120;
        }
    }
    // A change between the stat and the reading leaves the older stamp here,
    // so the next call reads the file again.
    lockGuard_t guard(lock);
    versionFileAnswer = versionFileAnswer_t{true, path, stamp, atLeast1120};
    return atLeast1120;
}

std::wstring qvrCommDev_t::getStatusText()
{
    const bool connected = isConnected();
    lockGuard_t guard(lock);
    if (!connected)
        return L"Not Connected";
    const std::int32_t state = status.machineState();
    if (state == 11)
        return L"Check Pen";
    if (!status.hasFlag(machineStatus_t::flagInitialised))
        return L"Not Initialized";
    if (state < 1 || state > 10)
        return L"Unknown";
    if (state == 1 || state == 6 || state == 7) {
        if (status.hasFlag(machineStatus_t::flagModelEnded))
            return L"Model End";
        if (status.hasFlag(machineStatus_t::flagWarmingUp))
            return L"Warming Up...";
    }
    switch (state) {
    case 1: return L"Building...";
    case 2: return L"Paused";
    case 3: return L"Initializing...";
    case 4: return L"Model End";
    case 5: return L"Technician Mode";
    case 6: return L"Sleep Mode";
    case 7: return fileInfo.isPresent() ? L"Loading..." : L"Ready";
    case 8: return L"Kit Replaced?";
    case 9: return L"Trim Layer?";
    default: return L"Resume Model";
    }
}

std::wstring qvrCommDev_t::getActivityText()
{
    lockGuard_t guard(lock);
    if (status.machineState() != 1)
        return L"Not Building";
    switch (status.activity()) {
    case 1: return L"Feeding";
    case 2: return L"Delaying";
    case 3: return L"Ironing";
    case 5: return L"Trimming";
    default: break;
    }
    const std::int32_t tool = info.currentTool();
    if (tool >= 0 && tool <= 11)
        return L"Using tool " + toStr(tool);
    return L"Building";
}
