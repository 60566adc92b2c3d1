// Bounded busy waiting for the hand-offs of a quick exchange. When the
// other side answers within microseconds, a thread that stays on its
// processor for that long takes the answer at once; one that sleeps must be
// woken and scheduled again, which on a busy machine costs several times
// the answer itself, at every hand-off. The budget keeps a spin short, and
// callers spin only while an exchange is under way, so an idle thread never
// spins.
#pragma once
#include <chrono>
#include <sched.h>

// How long a hand-off of an exchange in progress is waited for on the
// processor before the thread sleeps: longer than a loop-back round trip
// through the machines server usually takes, short beside any time rule.
inline constexpr std::chrono::microseconds exchangeSpinBudget{50};

inline void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Spins until ready() gives true or the budget has passed; true when ready.
template <class ready_t> bool spinUntil(ready_t ready, std::chrono::nanoseconds budget)
{
    if (ready())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + budget;
    for (;;) {
        // The clock is read every few turns only; a turn takes nanoseconds,
        // so the budget is still kept closely.
        for (int i = 0; i < 16; ++i) {
            spinPause();
            if (ready())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // The thread that will answer may be queued on this very
        // processor: give it the turn. Without this, spinning on a busy
        // computer lost most of its gain.
        sched_yield();
    }
}
