// The run-time library's rand, where the system depends on its sequence:
// state = state * 214013 + 2531011, result = (state >> 16) & 0x7FFF, the
// state kept per thread and starting at 1 (41, 18467, 6334, 26500, ...).
#pragma once

constexpr int CRT_RAND_MAX = 0x7FFF;
int crtRand();
void crtSrand(unsigned seed);
