// The owner of one thread. Empty (handle -1) or holding one started thread.
// join(ms) forgets the thread after ms even when it still runs (it then runs
// on unowned); start on a holding object and the destructor wait for the
// held thread without limit, through the platform's wait hook, so that the
// user-interface thread keeps serving message boxes while it waits.
#pragma once
#include "machine/baseHandle.h"
#include "platform/winConstants.h"

#include <cstdint>
#include <memory>

// The thread procedure: one untyped argument, a 32-bit result.
using threadProc_t = unsigned (*)(void* argument);

class threadHandle_t : public baseHandle_t {
public:
    // Starts the procedure at once when it is not null.
    explicit threadHandle_t(threadProc_t procedure = nullptr, void* argument = nullptr);
    ~threadHandle_t() override;

    // Waits without limit for a held thread, then starts a new one; the new
    // handle (-1 when the thread could not be created).
    handle_t start(threadProc_t procedure, void* argument);
    // Waits up to ms (INFINITE without limit) for the held thread to end and
    // then forgets it, ended or not.
    void join(DWORD ms);

    bool hasThread() const { return handle_ != INVALID_HANDLE_VALUE; }
    // The id of the last thread started (0 before the first start).
    std::uint32_t threadId() const { return threadId_; }

    struct state_t;

private:
    std::shared_ptr<state_t> state_;
    std::uint32_t threadId_ = 0;
};

// The 32-bit id of the calling thread (never 0); a thread started by a
// threadHandle_t sees the id that its owner stored.
std::uint32_t currentThreadId();
