// The system's default beep. Programs with windows install a hook that
// sounds it; without one a bell character goes to standard error.
#pragma once
#include <functional>

using beepHook_t = std::function<void()>;
void setBeepHook(beepHook_t hook);  // empty restores the default
void beep();
