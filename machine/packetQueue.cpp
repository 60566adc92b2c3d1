#include "machine/packetQueue.h"

packetQueue_t::packetQueue_t(sharedLock_t& lock) : lock_(lock) {}

packetQueue_t::~packetQueue_t()
{
    lockGuard_t guard(lock_);
    packets_.clear();
    current_.reset();
}

bool packetQueue_t::push(const packetBuffer_t& packet)
{
    lockGuard_t guard(lock_);
    if (hasDuplicate(packet))
        return true;
    packets_.push_back(packet);
    return false;
}

bool packetQueue_t::hasDuplicate(const packetBuffer_t& packet)
{
    lockGuard_t guard(lock_);
    for (std::size_t i = 1; i < packets_.size(); ++i)
        if (packets_[i] == packet)
            return true;
    return false;
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
}

void packetQueue_t::clear()
{
    lockGuard_t guard(lock_);
    awaitingReply_ = false;
    packets_.clear();
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
    return current_ ? *current_ : packetBuffer_t(64);
}

void packetQueue_t::setCurrent(const packetBuffer_t& packet)
{
    lockGuard_t guard(lock_);
    current_ = std::make_unique<packetBuffer_t>(packet);
}

void packetQueue_t::newCurrent(std::int32_t capacity)
{
    lockGuard_t guard(lock_);
    current_ = std::make_unique<packetBuffer_t>(capacity);
}
