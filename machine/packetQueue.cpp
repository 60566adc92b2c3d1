#include "machine/packetQueue.h"

#include "machine/spinWait.h"

#include <algorithm>
#include <chrono>

packetQueue_t::packetQueue_t(sharedLock_t& lock) : lock_(lock) {}

packetQueue_t::~packetQueue_t()
{
    lockGuard_t guard(lock_);
    packets_.clear();
}

bool packetQueue_t::push(const packetBuffer_t& packet, std::uint64_t* entry)
{
    lockGuard_t guard(lock_);
    for (std::size_t i = 1; i < packets_.size(); ++i) {
        if (packets_[i] == packet) {
            if (entry != nullptr)
                *entry = removed_.load() + i;
            return true;
        }
    }
    if (entry != nullptr)
        *entry = removed_.load() + packets_.size();
    packets_.push_back(packet);
    if (pushSignal_ != nullptr)
        pushSignal_->set();
    return false;
}

void packetQueue_t::setPushSignal(event_t* signal)
{
    lockGuard_t guard(lock_);
    pushSignal_ = signal;
}

bool packetQueue_t::hasDuplicate(const packetBuffer_t& packet)
{
    lockGuard_t guard(lock_);
    for (std::size_t i = 1; i < packets_.size(); ++i)
        if (packets_[i] == packet)
            return true;
    return false;
}

void packetQueue_t::removedLocked(std::size_t n)
{
    if (n == 0)
        return;
    removed_.fetch_add(n);
    if (waiting_.load() > 0)
        releasedWaiter_.store(true);
    wakeWaiters();
}

void packetQueue_t::watch(std::uint64_t entry)
{
    lockGuard_t guard(lock_);
    watched_.push_back(watched_t{entry, false});
}

bool packetQueue_t::unwatch(std::uint64_t entry)
{
    lockGuard_t guard(lock_);
    const auto at = std::find_if(watched_.begin(), watched_.end(), [&](const watched_t& w) { return w.entry == entry; });
    if (at == watched_.end())
        return false;
    const bool cleared = at->cleared;
    watched_.erase(at);
    return cleared;
}

bool packetQueue_t::isWatched(std::uint64_t entry)
{
    lockGuard_t guard(lock_);
    return std::any_of(watched_.begin(), watched_.end(), [&](const watched_t& w) { return w.entry == entry; });
}

bool packetQueue_t::waitUntilLeft(std::uint64_t entry, DWORD ms, const std::function<bool()>& done)
{
    waiting_.fetch_add(1);
    auto over = [&] { return hasLeft(entry) || done(); };
    // The reply usually comes within one round trip to the server: waited
    // for on the processor, it needs no wake-up of this thread.
    // A wait without time (ms 0) only looks.
    const bool finished = ms == 0 ? over() : spinUntil(over, exchangeSpinBudget);
    if (!finished) {
        std::unique_lock<std::mutex> guard(waitMutex_);
        if (ms == INFINITE)
            left_.wait(guard, over);
        else
            left_.wait_for(guard, std::chrono::milliseconds(ms), over);
    }
    waiting_.fetch_sub(1);
    return hasLeft(entry);
}

bool packetQueue_t::waitUntil(DWORD ms, const std::function<bool()>& done)
{
    std::unique_lock<std::mutex> guard(waitMutex_);
    if (ms == INFINITE)
        left_.wait(guard, done);
    else
        left_.wait_for(guard, std::chrono::milliseconds(ms), done);
    return done();
}

void packetQueue_t::wakeWaiters()
{
    // Taken and released before the notification, so that a waiter between
    // its test and its sleep cannot miss it.
    { std::lock_guard<std::mutex> guard(waitMutex_); }
    left_.notify_all();
}

bool packetQueue_t::popFront(packetBuffer_t& out)
{
    lockGuard_t guard(lock_);
    if (packets_.empty())
        return false;
    out = packets_.front();
    return !awaitingReply_;
}

bool packetQueue_t::peekFront(packetBuffer_t& out)
{
    lockGuard_t guard(lock_);
    if (packets_.empty())
        return false;
    out = packets_.front();
    return true;
}

void packetQueue_t::dropFront()
{
    lockGuard_t guard(lock_);
    if (packets_.empty())
        return;
    packets_.pop_front();
    awaitingReply_ = false;
    removedLocked(1);
}

void packetQueue_t::clear()
{
    lockGuard_t guard(lock_);
    awaitingReply_ = false;
    const std::size_t n = packets_.size();
    const std::uint64_t first = removed_.load();
    for (watched_t& w : watched_)
        if (w.entry >= first && w.entry < first + n)
            w.cleared = true;
    packets_.clear();
    removedLocked(n);
}

bool packetQueue_t::hasSendable()
{
    lockGuard_t guard(lock_);
    return !awaitingReply_ && !packets_.empty();
}

bool packetQueue_t::isEmpty()
{
    lockGuard_t guard(lock_);
    return packets_.empty();
}

std::int32_t packetQueue_t::count()
{
    lockGuard_t guard(lock_);
    return static_cast<std::int32_t>(packets_.size());
}

bool packetQueue_t::isAwaitingReply()
{
    lockGuard_t guard(lock_);
    return awaitingReply_;
}

void packetQueue_t::setAwaitingReply()
{
    lockGuard_t guard(lock_);
    awaitingReply_ = true;
}

void packetQueue_t::resumeSending()
{
    lockGuard_t guard(lock_);
    awaitingReply_ = false;
}

packetBuffer_t packetQueue_t::getCurrent()
{
    lockGuard_t guard(lock_);
    return current_;
}

void packetQueue_t::setCurrent(const packetBuffer_t& packet)
{
    lockGuard_t guard(lock_);
    current_ = packet;
}

void packetQueue_t::newCurrent(std::int32_t capacity)
{
    lockGuard_t guard(lock_);
    current_ = packetBuffer_t(capacity);
}
