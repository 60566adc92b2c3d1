// The owner of one plain system object that is neither an event nor a
// thread: the installer keeps the driver's named mutex in one. Empty
// (handle -1) or holding the object; the destructor releases it.
#pragma once
#include "machine/baseHandle.h"
#include "platform/namedMutex.h"

#include <memory>
#include <string>
#include <utility>

class miscHandle_t : public baseHandle_t {
public:
    miscHandle_t() : baseHandle_t(INVALID_HANDLE_VALUE) {}
    explicit miscHandle_t(std::unique_ptr<namedMutex_t> mutex) : baseHandle_t(INVALID_HANDLE_VALUE)
    {
        reset(std::move(mutex));
    }
    ~miscHandle_t() override { close(); }

    // Creates or opens the named mutex into this owner (releasing what it
    // held); *alreadyExisted tells whether another holder had it. False when
    // the mutex could not be created.
    bool createMutex(const std::wstring& name, bool* alreadyExisted = nullptr)
    {
        reset(std::make_unique<namedMutex_t>(name, alreadyExisted));
        if (mutex_->isValid())
            return true;
        close();
        return false;
    }
    void reset(std::unique_ptr<namedMutex_t> mutex)
    {
        close();
        mutex_ = std::move(mutex);
        if (mutex_ != nullptr)
            handle_ = reinterpret_cast<handle_t>(mutex_.get());
    }
    void close()
    {
        mutex_.reset();
        handle_ = INVALID_HANDLE_VALUE;
    }
    bool isValid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    std::unique_ptr<namedMutex_t> mutex_;
};
