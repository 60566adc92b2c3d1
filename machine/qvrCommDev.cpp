// The device's loop, its stop-and-wait exchange and the packing of commands.
#include "machine/qvrCommDev.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "platform/codePage.h"
#include "machine/fileUtils.h"
#include "platform/ticks.h"
#include <algorithm>
#include <span>

qvrCommDev_t::qvrCommDev_t(HWND ownerWindow_, std::uint32_t tickPeriod_, sharedLock_t& lock_)
    : basicComm_t(ownerWindow_, tickPeriod_, lock_)
{
    queue.newCurrent(commandPacketCapacity);
    const parameterMemory_t& defaults = ::getDefaultParameterTable();
    std::copy(defaults.begin(), defaults.end(), parameters);
    std::fill(std::begin(machineParameters), std::end(machineParameters), 0);
    // The default record's glue table is in the compact form. It never
    // changes, so it is unpacked once for every device of the process.
    static const std::vector<glueProfile_t> defaultProfiles = [&defaults] {
        std::vector<glueProfile_t> profiles;
        unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(defaults.data(), memoryWords), true),
                        true);
        return profiles;
    }();
    glueProfiles = defaultProfiles;
    baseFolder = getBaseFolder();
    createFolder(baseFolder);  // an existing folder is no error
}

qvrCommDev_t::~qvrCommDev_t()
{
    // The thread calls into this object; it must end before any member goes.
    stop();
}

// --- the loop -------------------------------------------------------------

void qvrCommDev_t::onStart()
{
    sendCommand(1);
    sendCommand(12);
}

bool qvrCommDev_t::step()
{
    if (!stopRequest.isSet() && waitForInput()) {
        handleReply();
        inputHandled.set();
    }
    if (!stopRequest.isSet()) {
        if (queue.hasSendable())
            sendPending();
        return true;
    }
    close();
    return false;
}

bool qvrCommDev_t::waitForInput()
{
    {
        lockGuard_t guard(lock);
        lastInputWaitTick = tickCount();
    }
    // No wait here: the loop sleeps between passes until input arrives.
    if (!inputArrived.wait(0))
        return false;
    inputArrived.reset();
    return true;
}

void qvrCommDev_t::handleReply()
{
    const packetBuffer_t reply = queue.getCurrent();
    bool closeFront = true;
    if (reply.length() > 0) {
        packetBuffer_t front(commandPacketCapacity);
        if (queue.peekFront(front)) {
            // Command 19 is answered only by a type-13 reply, and a type-13
            // reply answers nothing else.
            const bool replyIs13 = reply.u8(0) == 13;
            const bool frontIs19 = front.kind() == packetBuffer_t::devicePacket && front.u8(1) == 19;
            if (replyIs13 != frontIs19) {
                closeFront = false;
                queue.resumeSending();
                onReplyMismatch();
            }
        }
        onPacket(reply);
        setState(1);
    }
    if (closeFront)
        queue.dropFront();
    if (queue.hasSendable())
        sendPending();
}

std::int32_t qvrCommDev_t::replyTimeout()
{
    if (linkState != 1)
        return static_cast<std::int32_t>(replyTimeoutNotConnected);
    return status.machineState() == 5 ? static_cast<std::int32_t>(replyTimeoutTechnicianMode)
                                      : static_cast<std::int32_t>(replyTimeoutConnected);
}

void qvrCommDev_t::onTick()
{
    bool timedOut = false;
    {
        lockGuard_t guard(lock);
        const std::uint32_t now = tickCount();
        if (static_cast<std::uint32_t>(now - pollStamp) >= static_cast<std::uint32_t>(pollInterval)) {
            pollStamp = now;
            if (pollInterval > 0)
                poll();
        }
        if (!queue.isEmpty() && queue.isAwaitingReply()) {
            const auto waited = static_cast<std::int32_t>(lastInputWaitTick - lastSendTick);
            if (waited > replyTimeout()) {
                lastSendTick = now;
                timedOut = true;
            }
        }
    }
    if (timedOut)
        onLinkTimeout();
}

void qvrCommDev_t::poll()
{
    sendCommand(1);
    lockGuard_t guard(lock);
    pollCount += 1;
    if (pollCount > 2) {
        sendCommand(12);
        pollCount = 0;
    }
}

void qvrCommDev_t::reset()
{
    basicComm_t::reset();
    lockGuard_t guard(lock);
    state11Reported = false;
    // The queue (and any command 5 in it) is gone: a read in progress could
    // never finish, and every later request for offset 0 would only defer.
    requestedOffset = -1;
    rereadDeferred = false;
}

bool qvrCommDev_t::open()
{
    start();
    return true;
}

void qvrCommDev_t::resumeSending()
{
    queue.resumeSending();
    sendPending();
}

void qvrCommDev_t::close() {}
void qvrCommDev_t::onStatusBit0() {}
void qvrCommDev_t::onStatusBit13Clear() {}
void qvrCommDev_t::onReplyMismatch() {}
bool qvrCommDev_t::acceptNewMachine() { return true; }
void qvrCommDev_t::onPacket10(const packetBuffer_t&) {}
void qvrCommDev_t::onPacket3(const packetBuffer_t&) {}
void qvrCommDev_t::onPacket12(const packetBuffer_t&) {}
void qvrCommDev_t::onPacket6(const packetBuffer_t&) {}
void qvrCommDev_t::onLayerRecord(const packetBuffer_t&) {}

void qvrCommDev_t::setPollInterval(std::int32_t ms)
{
    lockGuard_t guard(lock);
    pollInterval = ms;
}

// --- sending --------------------------------------------------------------

void qvrCommDev_t::sendPacket(const packetBuffer_t& packet)
{
    // The length byte must describe the whole packet: one that does not fit
    // a command packet is not queued at all rather than cut.
    if (packet.length() <= 0 || packet.length() > commandPacketCapacity - 1)
        return;
    packetBuffer_t queued(commandPacketCapacity);
    queued.pushByte(static_cast<std::uint32_t>(packet.length()) & 0xFF);
    queued.append(packet.data(), packet.length());
    queued.setKind(packet.kind());
    std::uint64_t entry = 0;
    queue.push(queued, &entry);
    lockGuard_t guard(lock);
    lastQueuedEntry = entry;
    lastQueued = true;
}

void qvrCommDev_t::sendCommand(std::uint8_t code, const packetBuffer_t* payload)
{
    packetBuffer_t packet(commandPacketCapacity);
    packet.pushByte(code);
    if (payload != nullptr && payload->length() > 0) {
        if (packet.append(payload->data(), payload->length()) != 1 + payload->length())
            return;  // too long for a command packet
    }
    sendPacket(packet);
}

namespace {
void appendTyped(packetBuffer_t& payload, std::int32_t type, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (type == 1)
        payload.pushByte(bits);
    else if (type == 2)
        payload.appendShort(bits);
    else if (type == 4)
        payload.appendInt(bits);
}
}  // namespace

void qvrCommDev_t::sendCommandArgs(std::uint8_t code, std::int32_t type1, std::int32_t value1, std::int32_t type2,
                                   std::int32_t value2)
{
    packetBuffer_t payload(commandPacketCapacity);
    appendTyped(payload, type1, value1);
    appendTyped(payload, type2, value2);
    sendCommand(code, &payload);
}

void qvrCommDev_t::appendTextPayload(packetBuffer_t& packet, std::int32_t x, std::int32_t y, std::int32_t size,
                                     const std::wstring& text)
{
    const std::string narrow = wideToAnsi(text);
    if (narrow.size() >= 53)
        return;
    if (packet.length() + 10 + static_cast<std::int32_t>(narrow.size()) > packet.capacity())
        return;
    packet.appendInt(static_cast<std::uint32_t>(x));
    packet.appendInt(static_cast<std::uint32_t>(y));
    packet.pushByte(static_cast<std::uint32_t>(size));
    packet.pushByte(static_cast<std::uint32_t>(narrow.size()));
    packet.append(narrow.data(), static_cast<std::int32_t>(narrow.size()));
}

void qvrCommDev_t::sendByteCommand15(std::uint8_t value) { sendCommandArgs(15, 1, value); }

void qvrCommDev_t::sendByteCommand152(std::uint8_t value) { sendCommandArgs(152, 1, value); }

bool qvrCommDev_t::requestCommand133()
{
    {
        lockGuard_t guard(lock);
        if (status.hasFlag(machineStatus_t::flagBuilding) || status.machineState() == 2)
            return false;
    }
    sendCommand(133);
    return true;
}
