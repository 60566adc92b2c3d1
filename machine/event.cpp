#include "machine/event.h"

#include "platform/lastError.h"

#include <algorithm>
#include <atomic>
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
    // Atomic so that a look, a take and a set with nobody asleep need
    // neither the mutex nor a system call: the device's hand-offs run
    // through these events at every exchange.
    std::atomic<bool> signalled{false};
    bool manualReset = true;
    // Threads asleep in wait() and registered any-waiters. set() takes the
    // mutex and wakes only when there are some; a sleeper counts itself
    // before its last look, so one of the two always sees the other.
    std::atomic<int> sleepers{0};
    std::vector<anyWaiter_t*> anyWaiters;  // under the mutex

    // Takes the signal when it is there (an automatic-reset event is
    // taken by one thread only).
    bool take()
    {
        if (manualReset)
            return signalled.load();
        bool expected = true;
        return signalled.compare_exchange_strong(expected, false);
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
    state->signalled.store(initialState);
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
    // A waiter may return as soon as the signal is stored and delete the
    // event; the state must live until this call is done with it.
    const std::shared_ptr<state_t> keep = state_;
    state_t& s = *keep;
    s.signalled.store(true);
    if (s.sleepers.load() == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        // Each any-waiter's own mutex is released before its notification,
        // so that the woken thread does not run into it and sleep again;
        // the event's mutex, held throughout, keeps the waiter registered
        // (alive) until we are done with it.
        for (anyWaiter_t* waiter : s.anyWaiters) {
            {
                std::lock_guard<std::mutex> wakeLock(waiter->mutex);
                waiter->woken = true;
            }
            waiter->wake.notify_one();
        }
    }
    // Outside the mutex for the same reason. A sleeper in wait() holds the
    // mutex from its last look until it sleeps, so taking it above was
    // enough for this notification not to be missed.
    if (s.manualReset)
        s.changed.notify_all();
    else
        s.changed.notify_one();
}

void event_t::reset()
{
    state_->signalled.store(false);
}

bool event_t::peek() const
{
    return state_->signalled.load(std::memory_order_acquire);
}

bool event_t::wait(DWORD ms)
{
    std::shared_ptr<state_t> keep = state_;
    state_t& s = *keep;
    // A look without waiting: no lock and no system call.
    if (s.take())
        return true;
    if (ms == 0)
        return false;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.sleepers.fetch_add(1);
    bool taken;
    if (ms == INFINITE) {
        s.changed.wait(lock, [&s] { return s.take(); });
        taken = true;
    } else {
        taken = s.changed.wait_for(lock, std::chrono::milliseconds(ms), [&s] { return s.take(); });
    }
    s.sleepers.fetch_sub(1);
    return taken;
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
        state->sleepers.fetch_add(1);
    }
    int result = -1;
    for (;;) {
        for (std::size_t i = 0; i < states.size() && result < 0; ++i) {
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
        state->sleepers.fetch_sub(1);
    }
    return result;
}
