#include "machine/threadHandle.h"

#include "machine/event.h"
#include "platform/waitHook.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace {

std::atomic<std::uint32_t> lastThreadId{0};
thread_local std::uint32_t thisThreadId = 0;

std::uint32_t newThreadId()
{
    std::uint32_t id;
    do {
        id = ++lastThreadId;
    } while (id == 0);
    return id;
}

}  // namespace

std::uint32_t currentThreadId()
{
    if (thisThreadId == 0)
        thisThreadId = newThreadId();
    return thisThreadId;
}

struct threadHandle_t::state_t {
    std::thread thread;
    event_t ended{true, false};
};

threadHandle_t::threadHandle_t(threadProc_t procedure, void* argument) : baseHandle_t(INVALID_HANDLE_VALUE)
{
    if (procedure != nullptr)
        start(procedure, argument);
}

threadHandle_t::~threadHandle_t()
{
    join(INFINITE);
}

handle_t threadHandle_t::start(threadProc_t procedure, void* argument)
{
    if (hasThread())
        join(INFINITE);
    auto state = std::make_shared<state_t>();
    const std::uint32_t id = newThreadId();
    try {
        // The thread keeps its own reference: after a join that gave up, the
        // thread still signals its end into a live object.
        state->thread = std::thread([state, procedure, argument, id] {
            thisThreadId = id;
            procedure(argument);
            state->ended.set();
        });
    } catch (const std::system_error&) {
        return handle_;
    }
    state_ = std::move(state);
    threadId_ = id;
    handle_ = static_cast<handle_t>(id);
    return handle_;
}

void threadHandle_t::join(DWORD ms)
{
    if (!hasThread())
        return;
    std::shared_ptr<state_t> state = std::move(state_);
    handle_ = INVALID_HANDLE_VALUE;
    bool ended;
    if (ms == INFINITE) {
        waitWithoutLimit([&state](std::uint32_t slice) { return state->ended.wait(slice); });
        ended = state->ended.isSet();
    } else {
        ended = state->ended.wait(ms);
    }
    // A thread that has signalled its end only has its return left to do.
    if (ended && state->thread.get_id() != std::this_thread::get_id())
        state->thread.join();
    else
        state->thread.detach();
}
