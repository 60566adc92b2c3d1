#include "machine/event.h"

#include "platform/lastError.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace {

// One thread waiting on several events at once; each event wakes it.
struct anyWaiter_t {
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
};

}  // namespace

struct event_t::state_t {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
    bool manualReset = true;
    std::vector<anyWaiter_t*> anyWaiters;

    // Called with the mutex held: takes the signal when it is there.
    bool take()
    {
        if (!signalled)
            return false;
        if (!manualReset)
            signalled = false;
        return true;
    }
};

namespace {

std::mutex namedEventsMutex;
std::map<std::wstring, std::weak_ptr<event_t::state_t>>& namedEvents()
{
    static std::map<std::wstring, std::weak_ptr<event_t::state_t>> table;
    return table;
}

std::shared_ptr<event_t::state_t> newState(bool manualReset, bool initialState)
{
    auto state = std::make_shared<event_t::state_t>();
    state->manualReset = manualReset;
    state->signalled = initialState;
    return state;
}

}  // namespace

event_t::event_t(bool manualReset, bool initialState, const std::wstring& name, bool* alreadyExisted)
    : baseHandle_t(INVALID_HANDLE_VALUE)
{
    bool existed = false;
    if (name.empty()) {
        state_ = newState(manualReset, initialState);
    } else {
        std::lock_guard<std::mutex> lock(namedEventsMutex);
        auto& table = namedEvents();
        // Forget names whose events are gone, so the table does not grow.
        std::erase_if(table, [](const auto& entry) { return entry.second.expired(); });
        auto found = table.find(name);
        if (found != table.end())
            state_ = found->second.lock();
        existed = state_ != nullptr;
        if (!existed) {
            state_ = newState(manualReset, initialState);
            table[name] = state_;
        }
    }
    if (existed)
        setLastError(ERROR_ALREADY_EXISTS);
    if (alreadyExisted != nullptr)
        *alreadyExisted = existed;
    handle_ = reinterpret_cast<handle_t>(state_.get());
}

event_t::~event_t() = default;

void event_t::set()
{
    state_t& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.signalled = true;
    if (s.manualReset)
        s.changed.notify_all();
    else
        s.changed.notify_one();
    for (anyWaiter_t* waiter : s.anyWaiters) {
        std::lock_guard<std::mutex> wakeLock(waiter->mutex);
        waiter->woken = true;
        waiter->wake.notify_one();
    }
}

void event_t::reset()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->signalled = false;
}

bool event_t::wait(DWORD ms)
{
    std::shared_ptr<state_t> keep = state_;
    state_t& s = *keep;
    std::unique_lock<std::mutex> lock(s.mutex);
    auto ready = [&s] { return s.signalled; };
    // A look without waiting: a timed wait on the condition would cost a
    // system call even with nothing to wait for.
    if (ms == 0)
        return s.take();
    if (ms == INFINITE)
        s.changed.wait(lock, ready);
    else if (!s.changed.wait_for(lock, std::chrono::milliseconds(ms), ready))
        return false;
    return s.take();
}

int waitForAnyEvent(event_t* const* events, std::size_t count, DWORD ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::vector<std::shared_ptr<event_t::state_t>> states;
    states.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        states.push_back(events[i]->state_);

    anyWaiter_t waiter;
    // Registered before the first check, so that no set() in between is lost.
    for (auto& state : states) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->anyWaiters.push_back(&waiter);
    }
    int result = -1;
    for (;;) {
        for (std::size_t i = 0; i < states.size() && result < 0; ++i) {
            std::lock_guard<std::mutex> lock(states[i]->mutex);
            if (states[i]->take())
                result = static_cast<int>(i);
        }
        if (result >= 0)
            break;
        std::unique_lock<std::mutex> lock(waiter.mutex);
        if (ms == INFINITE) {
            waiter.wake.wait(lock, [&waiter] { return waiter.woken; });
        } else if (!waiter.wake.wait_until(lock, deadline, [&waiter] { return waiter.woken; })) {
            break;
        }
        waiter.woken = false;
    }
    for (auto& state : states) {
        std::lock_guard<std::mutex> lock(state->mutex);
        auto& list = state->anyWaiters;
        list.erase(std::remove(list.begin(), list.end(), &waiter), list.end());
    }
    return result;
}
