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
// through the machines server usually takes, even on a busy machine, and
// short beside any time rule.
inline constexpr std::chrono::microseconds exchangeSpinBudget{100};

inline void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Watches ready() until it gives true or the budget has passed; true when
// ready. Between looks the thread offers its processor: the scheduler tends
// to put a woken thread on the processor of the thread that woke it, so
// the thread that will answer is often queued right behind this one, and a
// tight spin would only delay it (measured: a spin that yields only in its
// second half halves the exchanges of a loop-back send-and-wait).
template <class ready_t> bool spinUntil(ready_t ready, std::chrono::nanoseconds budget)
{
    if (ready())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + budget;
    for (;;) {
        for (int i = 0; i < 4; ++i) {
            spinPause();
            if (ready())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        sched_yield();
    }
}
