// Unbounded waits for another thread go through a replaceable hook, so that
// the user-interface thread can keep serving message boxes (asked for by the
// thread it waits for) while it waits.
#pragma once
#include <cstdint>
#include <functional>

// waitSlice(ms) waits up to ms milliseconds and returns true when the awaited
// thing happened. The default waits in one slice of INFINITE.
using waitSlice_t = std::function<bool(std::uint32_t ms)>;
using waitHook_t = std::function<void(const waitSlice_t& waitSlice)>;

void setWaitHook(waitHook_t hook);  // empty restores the default
void waitWithoutLimit(const waitSlice_t& waitSlice);
