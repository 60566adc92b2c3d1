#include "platform/waitHook.h"

#include "platform/winConstants.h"

#include <memory>
#include <mutex>

namespace {

std::mutex hookMutex;
std::shared_ptr<const waitHook_t> currentHook;

}  // namespace

void setWaitHook(waitHook_t hook) {
    std::shared_ptr<const waitHook_t> next;
    if (hook) next = std::make_shared<const waitHook_t>(std::move(hook));
    std::lock_guard<std::mutex> lock(hookMutex);
    currentHook = std::move(next);
}

void waitWithoutLimit(const waitSlice_t& waitSlice) {
    std::shared_ptr<const waitHook_t> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = currentHook;
    }
    if (hook) {
        (*hook)(waitSlice);
        return;
    }
    while (!waitSlice(INFINITE)) {
    }
}
