// The owner of one system object (an event, a thread, a mutex). Owners are
// destroyed through a base pointer, so the destructor is virtual; each
// derived class releases its own kind of object, this one releases nothing.
#pragma once
#include <cstdint>

using handle_t = std::intptr_t;
constexpr handle_t INVALID_HANDLE_VALUE = -1;

class baseHandle_t {
public:
    explicit baseHandle_t(handle_t handle) : handle_(handle) {}
    virtual ~baseHandle_t() = default;
    // A handle has exactly one owner.
    baseHandle_t(const baseHandle_t&) = delete;
    baseHandle_t& operator=(const baseHandle_t&) = delete;

    handle_t handle() const { return handle_; }

protected:
    handle_t handle_;
};
