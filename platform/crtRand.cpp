#include "platform/crtRand.h"

#include <cstdint>

namespace {
// Per thread, as the multithreaded run-time keeps it: every new thread
// starts the same sequence.
thread_local std::uint32_t tlsState = 1;
}  // namespace

int crtRand() {
    tlsState = tlsState * 214013u + 2531011u;
    return static_cast<int>((tlsState >> 16) & 0x7FFFu);
}

void crtSrand(unsigned seed) { tlsState = seed; }
