#include "machine/basicComm.h"
#include "machine/spinWait.h"
#include "platform/ticks.h"
#include "platform/windowTable.h"

namespace {
// The device whose loop runs on this thread, if any.
thread_local const basicComm_t* threadDevice = nullptr;

unsigned deviceThreadMain(void* argument)
{
    static_cast<basicComm_t*>(argument)->run();
    return 0;
}
}  // namespace

basicComm_t::basicComm_t(HWND ownerWindow_, std::uint32_t tickPeriod_, sharedLock_t& lock_)
    : tickPeriod(tickPeriod_), ownerWindow(ownerWindow_), inputArrived(true, false), inputHandled(true, false),
      stopRequest(true, false), wakeRequest(false, false), queue(lock_), lock(lock_)
{
    queue.setPushSignal(&wakeRequest);
    resetBase();
}

basicComm_t::~basicComm_t()
{
    // A derived device stops its thread before its own members go; this is
    // the last chance for a device that did not.
    stop();
    queue.clear();
}

void basicComm_t::run()
{
    threadId = currentThreadId();
    threadDevice = this;
    onStart();
    lastTick = tickCount();
    while (running.load() && step()) {
        if (static_cast<std::uint32_t>(tickCount() - lastTick) >= tickPeriod) {
            onTick();
            lastTick = tickCount();
        }
        // The pass is done; sleep until something needs the next one. The
        // tick bounds the sleep, so every time rule is checked as often as
        // before; a frozen test clock only makes the loop look again later.
        const auto sinceTick = static_cast<std::uint32_t>(tickCount() - lastTick);
        waitForWork(sinceTick >= tickPeriod ? 0 : tickPeriod - sinceTick);
    }
    running.store(false);
    threadDevice = nullptr;
}

bool basicComm_t::onDeviceThread() const
{
    return threadDevice == this;
}

void basicComm_t::waitForWork(DWORD ms)
{
    event_t* events[3] = {&stopRequest, &inputArrived, &wakeRequest};
    sleepUntilWork(events, 3, ms);
}

int basicComm_t::sleepUntilWork(event_t* const* events, std::size_t count, DWORD ms)
{
    // Both asked every time, so that the released flag is cleared.
    const bool waiting = queue.hasWaiters();
    const bool released = queue.takeReleasedWaiter();
    if (ms > 0 && (waiting || released)) {
        spinUntil(
            [&] {
                for (std::size_t i = 0; i < count; ++i)
                    if (events[i]->peek())
                        return true;
                return false;
            },
            exchangeSpinBudget);
    }
    return waitForAnyEvent(events, count, ms);
}

void basicComm_t::setState(std::int32_t state)
{
    bool changed = false;
    {
        lockGuard_t guard(lock);
        if (state != linkState) {
            linkState = state;
            changed = true;
            if (state == 1)
                ++connections;
        }
    }
    if (changed)
        notify(1);
}

void basicComm_t::onStart() {}

void basicComm_t::onTick() {}

void basicComm_t::sendPending() {}

void basicComm_t::resetBase()
{
    {
        lockGuard_t guard(lock);
        const std::uint32_t now = tickCount();
        lastSendTick = now;
        lastInputWaitTick = now;
        linkState = 0;
    }
    queue.clear();
}

void basicComm_t::reset() { resetBase(); }

void basicComm_t::sendPacket(const packetBuffer_t&) {}

void basicComm_t::start()
{
    if (running.load())
        return;
    reset();
    // A loop that ended on its own (a refused machine) left the request set.
    stopRequest.reset();
    running.store(true);
    thread.start(deviceThreadMain, this);
}

void basicComm_t::stop()
{
    if (running.load()) {
        stopRequest.set();
        thread.join(INFINITE);
        stopRequest.reset();
    } else if (thread.hasThread()) {
        // The loop has ended by itself; collect its thread (no wait).
        thread.join(INFINITE);
    }
}

void basicComm_t::setOwnerWindow(HWND window)
{
    lockGuard_t guard(lock);
    ownerWindow = window;
}

HWND basicComm_t::getOwnerWindow()
{
    lockGuard_t guard(lock);
    return ownerWindow;
}

void basicComm_t::setNotifyFilter(notifyFilter_t filter)
{
    lockGuard_t guard(lock);
    notifyFilter = filter;
}

void basicComm_t::notify(std::int32_t code)
{
    notifyFilter_t filter;
    HWND window;
    {
        lockGuard_t guard(lock);
        filter = notifyFilter;
        window = ownerWindow;
    }
    if (filter != nullptr && !filter(code, this))
        return;
    // Dropped when the window no longer exists; nothing is kept for later.
    if (window != 0)
        postMessage(window, notifyMessage, static_cast<WPARAM>(static_cast<std::uint32_t>(code)),
                    reinterpret_cast<LPARAM>(this));
}

bool basicComm_t::isConnected()
{
    lockGuard_t guard(lock);
    return linkState == 1;
}

std::uint64_t basicComm_t::linkSession()
{
    lockGuard_t guard(lock);
    return linkState == 1 ? connections : 0;
}
