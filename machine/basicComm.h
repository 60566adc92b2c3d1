// basicComm_t: the base of every machine device. It owns the device thread
// and its loop (a pass of step, onTick every tick period, then a sleep until
// there is work: see waitForWork), the
// packet queue, the shared lock and the link state, and tells the owner
// window what happened by posting notifications (WM_USER+222, wParam the
// code, lParam the device as a basicComm_t pointer: a receiver converts it
// back with static_cast from basicComm_t*, never by reinterpreting it as a
// derived device). It knows nothing of what packets mean.
#pragma once
#include "machine/event.h"
#include "machine/packetBuffer.h"
#include "machine/packetQueue.h"
#include "machine/sharedLock.h"
#include "machine/threadHandle.h"
#include "platform/winConstants.h"
#include <atomic>
#include <cstdint>

class basicComm_t {
public:
    // Consulted before each notification; false drops it.
    using notifyFilter_t = bool (*)(std::int32_t code, basicComm_t* device);

    static constexpr unsigned notifyMessageNumber = WM_USER + 222;  // 1246

    basicComm_t(HWND ownerWindow, std::uint32_t tickPeriod, sharedLock_t& lock);
    virtual ~basicComm_t();
    basicComm_t(const basicComm_t&) = delete;
    basicComm_t& operator=(const basicComm_t&) = delete;

    // The thread body: onStart, then step and onTick until step gives false,
    // sleeping between passes in waitForWork.
    virtual void run();
    // A new link state; notification 1 when it differs from the old one.
    virtual void setState(std::int32_t state);
    virtual void onStart();
    virtual void onTick();
    virtual bool step() = 0;
    // Sends the front packet when allowed (the transport's business).
    virtual void sendPending();
    // Back to not connected: stamps now, link state 0, queue cleared.
    virtual void reset();
    virtual void sendPacket(const packetBuffer_t& packet);
    virtual bool open() = 0;

    // reset, then the device thread. A previous thread is waited for first.
    void start();
    // When running: ask the loop to end and wait for the thread.
    void stop();
    void setOwnerWindow(HWND window);
    HWND getOwnerWindow();
    void notify(std::int32_t code);
    bool isConnected();
    // The number of the connection that is up (counted from 1 each time the
    // link becomes connected), 0 while it is not. A caller that read one
    // number and later reads another knows the link was lost in between,
    // even when it has come back since.
    std::uint64_t linkSession();
    bool isRunning() const { return running.load(); }
    // The caller is this device's own thread (inside run).
    bool onDeviceThread() const;
    void setNotifyFilter(notifyFilter_t filter);

    // Wakes the device thread from its sleep between passes (a packet queued
    // does this by itself).
    void wake() { wakeRequest.set(); }

    sharedLock_t& getLock() { return lock; }
    packetQueue_t& getQueue() { return queue; }
    // The events a packet source and its tests use.
    event_t& inputArrivedEvent() { return inputArrived; }
    event_t& inputHandledEvent() { return inputHandled; }
    event_t& stopRequestEvent() { return stopRequest; }

protected:
    // The base reset, used by the constructor (no virtual call there).
    void resetBase();
    // The sleep between two passes: until the stop request, received input,
    // a packet queued or wake(), or at most ms (the time to the next tick).
    // A device whose input comes from elsewhere adds its own sources; it
    // must only wait for what its next pass will handle, or the loop spins.
    virtual void waitForWork(DWORD ms);
    // waitForWork's sleep on the given events. While a send-and-wait is
    // under way (a thread waits for its reply, or one was just released and
    // is about to queue its next command) the events are first watched on
    // the processor for a few tens of microseconds: the reply or the next
    // command usually comes that soon, and a sleeping device thread would
    // have to be woken for it. An idle loop never spins.
    int sleepUntilWork(event_t* const* events, std::size_t count, DWORD ms);

    std::uint32_t lastTick = 0;
    threadHandle_t thread;
    notifyFilter_t notifyFilter = nullptr;
    std::uint32_t tickPeriod;
    HWND ownerWindow;
    unsigned notifyMessage = notifyMessageNumber;
    std::uint32_t threadId = 0;
    std::int32_t linkState = 0;
    // Times the link state became 1; guarded like linkState.
    std::uint64_t connections = 0;
    // Read by stop on other threads while the loop clears it.
    std::atomic<bool> running{false};
    event_t inputArrived;
    event_t inputHandled;
    event_t stopRequest;
    // Automatic reset: queued packets and wake() set it.
    event_t wakeRequest;
    std::uint32_t lastSendTick = 0;
    std::uint32_t lastInputWaitTick = 0;
    packetQueue_t queue;
    sharedLock_t lock;
};
