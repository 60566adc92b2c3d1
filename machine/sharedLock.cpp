#include "machine/sharedLock.h"

sharedLock_t::sharedLock_t() : section_(new std::recursive_mutex), count_(new std::int32_t(1)) {}

sharedLock_t::sharedLock_t(const sharedLock_t& other) : section_(other.section_), count_(other.count_)
{
    std::lock_guard<std::recursive_mutex> lock(*section_);
    ++*count_;
}

sharedLock_t& sharedLock_t::operator=(const sharedLock_t& other)
{
    if (section_ == other.section_)
        return *this;
    {
        std::lock_guard<std::recursive_mutex> lock(*other.section_);
        ++*other.count_;
    }
    release();
    section_ = other.section_;
    count_ = other.count_;
    return *this;
}

sharedLock_t::~sharedLock_t()
{
    release();
}

void sharedLock_t::release()
{
    std::int32_t left;
    {
        std::lock_guard<std::recursive_mutex> lock(*section_);
        left = --*count_;
    }
    if (left == 0) {
        delete count_;
        delete section_;
    }
    count_ = nullptr;
    section_ = nullptr;
}

std::int32_t sharedLock_t::holders() const
{
    std::lock_guard<std::recursive_mutex> lock(*section_);
    return *count_;
}
