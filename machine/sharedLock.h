// One recursive lock shared by several owners (a device, its packet queue and
// its socket each hold a copy). The lock and a holder count live on the heap;
// the count is changed only while the lock is held, and the copy whose
// destruction brings it to 0 frees both.
#pragma once
#include <cstdint>
#include <mutex>

class sharedLock_t {
public:
    sharedLock_t();
    // Copying from an object that another thread is destroying at that moment
    // is not supported: owners copy a lock while its source is known alive.
    sharedLock_t(const sharedLock_t& other);
    sharedLock_t& operator=(const sharedLock_t& other);
    ~sharedLock_t();

    // The number of copies alive (read under the lock).
    std::int32_t holders() const;

private:
    friend class lockGuard_t;
    void release();
    std::recursive_mutex* section_;
    std::int32_t* count_;
};

// Holds the section of a sharedLock_t from its construction to its
// destruction; a thread that holds it may take it again.
class lockGuard_t {
public:
    explicit lockGuard_t(const sharedLock_t& lock) : section_(lock.section_) { section_->lock(); }
    ~lockGuard_t() { section_->unlock(); }
    lockGuard_t(const lockGuard_t&) = delete;
    lockGuard_t& operator=(const lockGuard_t&) = delete;

private:
    std::recursive_mutex* section_;
};
