// The one tick source: 32-bit milliseconds that wrap, as the system's tick
// logic expects. The offset comes from QVR_TICK_OFFSET (so that child
// processes share it). Tests can switch to manual ticks and advance them;
// waits on events stay real time.
#pragma once
#include <cstdint>

std::uint32_t tickCount();
void sleepMs(std::uint32_t ms);

namespace ticksForTests {
// Manual mode: tickCount() returns start + everything advanced since.
void setManual(std::uint32_t start);
void advance(std::uint32_t ms);
void setAutomatic();
bool isManual();
}  // namespace ticksForTests
