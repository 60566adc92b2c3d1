#include "platform/beep.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex hookLock;
beepHook_t& hook() {
    static beepHook_t installed;
    return installed;
}
}  // namespace

void setBeepHook(beepHook_t newHook) {
    std::lock_guard<std::mutex> guard(hookLock);
    hook() = std::move(newHook);
}

void beep() {
    beepHook_t current;
    {
        std::lock_guard<std::mutex> guard(hookLock);
        current = hook();
    }
    if (current) {
        current();
        return;
    }
    std::fputc('\a', stderr);
    std::fflush(stderr);
}
