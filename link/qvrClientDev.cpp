// The client device's connection and loop: (re)connection, reading the
// server, sending the queue, the reply handlers and send-and-wait.
#include "link/qvrClientDev.h"

#include "link/currentClientDevice.h"
#include "link/socketRequestStream.h"
#include "platform/ticks.h"

#include <algorithm>
#include <chrono>
#include <utility>

qvrClientDev_t::qvrClientDev_t(HWND ownerWindow_, sharedLock_t& lock_)
    : qvrCommDev_t(ownerWindow_, tickPeriodMs, lock_), layerRecords_(static_cast<std::size_t>(layerRecordCapacity))
{
    socket_ = new qvrClientSocket_t(false, lock);
}

qvrClientDev_t::~qvrClientDev_t()
{
    // Threads waiting for a reply leave first; they must not outlive us.
    closing_.set();
    queue.wakeWaiters();
    stopRequestEvent().set();
    {
        // A device thread blocked in a send to a peer that does not read
        // wakes when the connection closes. Under the lock the socket is the
        // live one: the device thread swaps sockets only under it.
        lockGuard_t guard(lock);
        if (socket_ != nullptr)
            socket_->closeConnection();
    }
    stop();
    while (waiters_.load() > 0)
        sleepMs(1);
    qvrClientSocket_t* socket;
    bool fromListener;
    {
        lockGuard_t guard(lock);
        socket = socket_;
        socket_ = nullptr;
        fromListener = fromListener_;
    }
    disposeSocket(socket, fromListener);
    // Nobody may reach a deleted device through the global pointer.
    if (getCurrentClientDevice() == this)
        setCurrentClientDevice(nullptr);
}

void qvrClientDev_t::disposeSocket(qvrClientSocket_t* socket, bool fromListener)
{
    if (socket == nullptr)
        return;
    basicSocket_t* listener = fromListener ? socket->owner() : nullptr;
    if (listener != nullptr && listener->hasConnection(socket))
        listener->removeAndDeleteConnection(socket);  // waits for its thread
    else
        delete socket;  // its shutdown wakes and waits for its thread
}

// --- connection ------------------------------------------------------------------

bool qvrClientDev_t::connect(const std::wstring& host, std::int32_t machineId, bool controlAccess, int port)
{
    {
        lockGuard_t guard(lock);
        if (socket_ != nullptr && socket_->isConnected())
            return false;
        requestedMachineId_ = machineId;
        controlAccess_ = controlAccess;
        host_ = host.empty() ? std::wstring(L"localhost") : host;
        port_ = port;
        linkEnded_ = false;
        reconnectWanted_.store(true);
    }
    if (isRunning()) {
        wake();
        return true;
    }
    return open();
}

bool qvrClientDev_t::attachSocket(qvrClientSocket_t* socket)
{
    if (socket == nullptr)
        return false;
    qvrClientSocket_t* old;
    {
        lockGuard_t guard(lock);
        if ((socket_ != nullptr && socket_->isConnected()) || isRunning())
            return false;
        old = socket_;
        socket_ = socket;
        fromListener_ = true;
        host_ = socket->getHost();
        port_ = socket->getPort();
        controlAccess_ = socket->hasControlAccess();
    }
    disposeSocket(old, false);
    if (!open())
        return false;
    lockGuard_t guard(lock);
    lastContactTick_ = tickCount();
    return true;
}

void qvrClientDev_t::reconnect()
{
    qvrClientSocket_t* fresh;
    qvrClientSocket_t* old;
    bool oldFromListener;
    std::wstring host;
    int port;
    std::int32_t machineId;
    {
        lockGuard_t guard(lock);
        fresh = new qvrClientSocket_t(controlAccess_, lock);
        old = socket_;
        socket_ = fresh;
        oldFromListener = fromListener_;
        fromListener_ = false;
        host = host_;
        port = port_;
        machineId = requestedMachineId_;
    }
    disposeSocket(old, oldFromListener);
    fresh->connectTo(host, machineId, port);
    lockGuard_t guard(lock);
    host_ = fresh->getHost();
    port_ = fresh->getPort();
    lastContactTick_ = tickCount();
}

// --- the loop (device thread) ------------------------------------------------------

bool qvrClientDev_t::step()
{
    // No new connection once the device is going.
    if (!closing_.isSet() && reconnectWanted_.exchange(false))
        reconnect();
    return qvrCommDev_t::step();
}

void qvrClientDev_t::onTick()
{
    qvrCommDev_t::onTick();
    bool due;
    {
        lockGuard_t guard(lock);
        // A greeting not accepted in time, or a connection that ended: the
        // next attempt comes reconnectIntervalMs after the last contact (the
        // attempt, or the end), so a server that closes every connection at
        // once is not hammered.
        due = socket_ != nullptr && (!socket_->isAccepted() || linkEnded_) &&
              static_cast<std::uint32_t>(tickCount() - lastContactTick_) > reconnectIntervalMs;
        if (due)
            linkEnded_ = false;
    }
    if (due)
        reset();
}

void qvrClientDev_t::reset()
{
    if (isRunning()) {
        bool listener;
        {
            lockGuard_t guard(lock);
            listener = fromListener_;
            if (listener) {
                // Told once per reconnection interval, not at every tick.
                lastContactTick_ = tickCount();
            } else {
                linkState = 0;
                // After a connection ended, onTick asks for the next one.
                // The loop may be about to sleep: the next pass comes now.
                if (!linkEnded_) {
                    reconnectWanted_.store(true);
                    wake();
                }
            }
        }
        if (listener)
            notify(134);
    }
    // A resend asked for on the old connection does not carry over.
    resendPending_ = false;
    // The status asked for after a status-less close will not come on this
    // link: nobody waits for it (a send-and-wait now finds the link down).
    stateUnconfirmed_.store(false);
    qvrCommDev_t::reset();
    queue.wakeWaiters();
}

bool qvrClientDev_t::waitForInput()
{
    qvrClientSocket_t* socket;
    bool ended;
    {
        lockGuard_t guard(lock);
        lastInputWaitTick = tickCount();
        socket = socket_;
        ended = linkEnded_;
    }
    // Nothing here waits: the loop sleeps between passes (waitForWork).
    if (socket == nullptr || !socket->isConnected())
        return false;
    if (resendPending_ && std::chrono::steady_clock::now() >= resendAt_) {
        resendPending_ = false;
        queue.resumeSending();
    }
    sendPendingUpload();
    if (socket->waitForData(0)) {
        const int result = socket->parseMessage(*this);
        if (result == qvrClientSocket_t::handled_e) {
            // A reply packet is at most 64 bytes: the current packet keeps
            // its size instead of the whole message buffer's.
            packetBuffer_t current(commandPacketCapacity);
            current.append(socket->reply().data(), socket->reply().length());
            queue.setCurrent(current);
            return true;
        }
        if (result == qvrClientSocket_t::waitAndResend_e) {
            // The same front goes out again after the pause; the loop sleeps
            // through it (a stop does not wait for it).
            resendPending_ = true;
            resendAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(resendDelayMs);
            return false;
        }
    }
    if (socket->isClosed() && !ended && !closing_.isSet()) {
        // Told once per connection; the next attempt waits (onTick). A
        // connection from a listener is closed below instead, and is never
        // replaced.
        if (!isListenerSocket()) {
            lockGuard_t guard(lock);
            linkEnded_ = true;
            lastContactTick_ = tickCount();
        }
        notify(119);
        reset();
        // A connection taken from a listener is never replaced. Closed, it
        // reads as not connected from the next pass on, so that its end is
        // told once and not at every pass.
        if (isListenerSocket())
            socket->closeConnection();
    }
    return false;
}

void qvrClientDev_t::waitForWork(DWORD ms)
{
    if (resendPending_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(resendAt_ - std::chrono::steady_clock::now());
        ms = std::min<DWORD>(ms, static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0)));
    }
    qvrClientSocket_t* socket;
    bool ended;
    {
        lockGuard_t guard(lock);
        socket = socket_;
        ended = linkEnded_;
    }
    // Only what the next pass handles: a message is read while the socket
    // is connected, its end is told once, and a connection that could not
    // be made is left to the reconnect rule of onTick.
    event_t* events[4] = {&stopRequest, &wakeRequest, nullptr, nullptr};
    std::size_t count = 2;
    if (socket != nullptr && !ended) {
        events[count++] = &socket->dataArrivedEvent();
        if (socket->isConnected() || !socket->isClosed())
            events[count++] = &socket->closedEvent();
    }
    sleepUntilWork(events, count, ms);
}

bool qvrClientDev_t::refusesSendsLocked()
{
    // A device that does not run has no link to carry anything to a later
    // one: starting it clears the queue.
    if (!isRunning() || onDeviceThread())
        return false;
    // Down until the new connection has answered (link state 1), as the
    // pages see it. After a reset the old socket may still read as
    // connected until the device thread replaces it.
    return linkState != 1 || socket_ == nullptr || reconnectWanted_.load() || linkEnded_ ||
           !socket_->isConnected() || !socket_->isAccepted();
}

void qvrClientDev_t::sendPacket(const packetBuffer_t& packet)
{
    // The test and the push are one step: a reset between them would leave
    // the packet for the next connection.
    lockGuard_t guard(lock);
    if (refusesSendsLocked()) {
        lastQueued = false;
        return;
    }
    qvrCommDev_t::sendPacket(packet);
}

void qvrClientDev_t::sendPending()
{
    // Takes the front's own size (a device packet, or a whole request).
    packetBuffer_t out(0);
    qvrClientSocket_t* socket;
    {
        lockGuard_t guard(lock);
        socket = socket_;
        if (socket == nullptr || !socket->isAccepted() || !queue.popFront(out))
            return;
        queue.setAwaitingReply();
        lastSendTick = tickCount();
        lastInputWaitTick = lastSendTick;
        ++sentCount_;
    }
    // Outside the lock: a peer that reads slowly must not block the getters.
    // Only this thread replaces or deletes the socket.
    socket->sendPacket(out);
}

void qvrClientDev_t::close()
{
    qvrClientSocket_t* socket;
    {
        lockGuard_t guard(lock);
        socket = socket_;
    }
    // Only this thread replaces the socket.
    if (socket != nullptr)
        socket->closeConnection();
}

void qvrClientDev_t::onLinkTimeout()
{
    reset();
}

void qvrClientDev_t::onReplyMismatch()
{
    frontKept_ = true;
}

void qvrClientDev_t::onPacket(const packetBuffer_t& packet)
{
    const bool frontKept = std::exchange(frontKept_, false);
    if (packet.kind() == packetBuffer_t::requestMessage) {
        queueRequestBuffer(packet);
        return;
    }
    const std::uint64_t statusesBefore = statusCount_;
    qvrCommDev_t::onPacket(packet);
    if (!frontKept && statusCount_ == statusesBefore)
        askStateAfterClose();
}

// --- reply handlers ------------------------------------------------------------------

void qvrClientDev_t::onStatus(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(machineStatus_t::size)))
        return;
    lockGuard_t guard(lock);
    qvrCommDev_t::onStatus(reply);
    if (status.machineID() != 0)
        requestedMachineId_ = static_cast<std::int32_t>(status.machineID());
    if (!status.hasFlag(machineStatus_t::flagBuilding))
        lastReceivedLayer_ = -1;
    ++statusCount_;
    if (stateUnconfirmed_.exchange(false))
        queue.wakeWaiters();
    if (status.machineState() != 5)
        leftTechnicianMode();
}

void qvrClientDev_t::leftTechnicianMode()
{
    leftTechnicianCount_.fetch_add(1);
    queue.wakeWaiters();
}

void qvrClientDev_t::onStatusReply(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(machineStatus_t::size)))
        return;
    onStatus(reply);
    notify(141);
}

// Types 10 and 12 end a command: its waiter returns once the reply has
// closed its entry (handleReply drops the front after this dispatch).
void qvrClientDev_t::onPacket10(const packetBuffer_t& reply)
{
    onStatus(reply);
}

void qvrClientDev_t::onPacket12(const packetBuffer_t&)
{
    {
        lockGuard_t guard(lock);
        status.setMachineState(2);
        // The state is known again (it is not 5).
        ++statusCount_;
        stateUnconfirmed_.store(false);
    }
    leftTechnicianMode();
}

void qvrClientDev_t::onLayerRecord(const packetBuffer_t& reply)
{
    if (!reply.holds(1, static_cast<std::int32_t>(layerRecord_t::size)))
        return;
    // The request in flight says which layer this is: [4][10][u16 index].
    packetBuffer_t front(0);
    if (!queue.peekFront(front) || front.kind() != packetBuffer_t::devicePacket || front.length() < 4 ||
        front.u8(1) != 10)
        return;
    const std::int32_t index = front.u16(2);
    bool stored = false;
    {
        lockGuard_t guard(lock);
        if (index == lastReceivedLayer_ + 1 && index < layerRecordCapacity) {
            layerRecords_[static_cast<std::size_t>(index)].assign(reply.data() + 1, layerRecord_t::size);
            lastReceivedLayer_ = index;
            stored = true;
        }
    }
    if (stored)
        notify(124);
}

void qvrClientDev_t::createFoldersIfIdKnown()
{
    qvrCommDev_t::createFoldersIfIdKnown();
    requestFileSenderInfo();
}

// --- send and wait ------------------------------------------------------------------

namespace {
DWORD msUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
}
}  // namespace

void qvrClientDev_t::askStateAfterClose()
{
    lockGuard_t guard(lock);
    // A stored state other than 5 already stops the caller; only a stale 5
    // would let it send again.
    if (queue.isEmpty() || status.machineState() != 5)
        return;
    if (!queue.isWatched(queue.frontEntry()))
        return;
    stateUnconfirmed_.store(true);
    sendCommand(1);
}

void qvrClientDev_t::waitForKnownState(deadline_t deadline)
{
    queue.waitUntil(msUntil(deadline), [&] { return !stateUnconfirmed_.load() || closing_.isSet(); });
}

template <class send_t>
qvrClientDev_t::sent_e qvrClientDev_t::sendTracked(send_t send, std::uint64_t& entry, std::uint64_t& leftBefore)
{
    // One critical section from the state test to the entry number: no
    // other thread queues in between, a status that leaves state 5 after
    // the test is counted after leftBefore, and the entry is watched before
    // its reply can come or a clear can take it.
    lockGuard_t guard(lock);
    if (status.machineState() != 5)
        return sent_e::notSent_e;
    // The state 5 is the last one of a link that is gone: a command queued
    // now would go out on the next connection, to a printer nobody has
    // looked at since.
    if (refusesSendsLocked() || linkState != 1)
        return sent_e::linkDown_e;
    leftBefore = leftTechnicianCount_.load();
    lastQueued = false;
    send();
    if (!lastQueued)
        return sent_e::notSent_e;
    entry = lastQueuedEntry;
    queue.watch(entry);
    return sent_e::queued_e;
}

bool qvrClientDev_t::waitForReply(std::uint64_t entry, std::uint64_t leftBefore, deadline_t deadline)
{
    waiters_.fetch_add(1);
    queue.waitUntilLeft(entry, msUntil(deadline), [&] {
        return leftTechnicianCount_.load() != leftBefore || closing_.isSet();
    });
    // Cleared with the queue (the link was lost or reset) the command may
    // never have reached the printer, or its reply never came back.
    const bool held = !queue.unwatch(entry) && !closing_.isSet();
    // Closed by a reply without a status: the caller's state test waits for
    // the status that was asked for then.
    if (held)
        waitForKnownState(deadline);
    waiters_.fetch_sub(1);
    return held && !closing_.isSet();
}

template <class send_t>
bool qvrClientDev_t::sendAndWait(send_t send)
{
    const deadline_t deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(commandWaitMs);
    if (stateUnconfirmed_.load()) {
        // Another waiter's command was closed without a status: the state
        // test below must not read the stale one.
        waiters_.fetch_add(1);
        waitForKnownState(deadline);
        waiters_.fetch_sub(1);
        if (closing_.isSet())
            return false;
    }
    std::uint64_t entry = 0;
    std::uint64_t leftBefore = 0;
    switch (sendTracked(send, entry, leftBefore)) {
    case sent_e::queued_e:
        return waitForReply(entry, leftBefore, deadline);
    case sent_e::linkDown_e:
        return false;
    case sent_e::notSent_e:
        break;
    }
    return true;
}

bool qvrClientDev_t::sendCommandWait(std::uint8_t code, std::int32_t type1, std::int32_t value1,
                                     std::int32_t type2, std::int32_t value2)
{
    return sendAndWait([&] { sendCommandArgs(code, type1, value1, type2, value2); });
}

bool qvrClientDev_t::sendCommandDataWait(std::uint8_t code, const packetBuffer_t& payload)
{
    return sendAndWait([&] { sendCommand(code, &payload); });
}

bool qvrClientDev_t::sendCommandDataWait(std::uint8_t code, const void* bytes, std::int32_t count)
{
    packetBuffer_t payload(commandPacketCapacity);
    if (count > 0 && payload.append(bytes, count) != count)
        return true;  // more than a command packet holds: nothing is sent
    return sendCommandDataWait(code, payload);
}
