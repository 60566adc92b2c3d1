#include "platform/ticks.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace {

std::atomic<bool> manualMode{false};
std::atomic<std::uint32_t> manualTicks{0};

// QVR_TICK_OFFSET: decimal or 0x-hex, taken modulo 2^32, so that a test can
// start every process of a run just below the wrap.
std::uint32_t readOffset() {
    const char* text = std::getenv("QVR_TICK_OFFSET");
    if (text == nullptr || *text == '\0') return 0;
    std::string s(text);
    bool negative = false;
    std::size_t i = 0;
    if (s[i] == '-' || s[i] == '+') {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (s.size() > i + 1 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        value = (value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit)) & 0xFFFFFFFFull;
    }
    auto v = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - v) : v;
}

std::uint32_t offset() {
    static const std::uint32_t value = readOffset();
    return value;
}

}  // namespace

std::uint32_t tickCount() {
    if (manualMode.load(std::memory_order_acquire)) return manualTicks.load(std::memory_order_acquire);
    // CLOCK_MONOTONIC counts from boot for every process alike, so two
    // processes with the same offset see the same ticks.
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms) + offset();
}

void sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

namespace ticksForTests {

void setManual(std::uint32_t start) {
    manualTicks.store(start, std::memory_order_release);
    manualMode.store(true, std::memory_order_release);
}

void advance(std::uint32_t ms) { manualTicks.fetch_add(ms, std::memory_order_acq_rel); }

void setAutomatic() { manualMode.store(false, std::memory_order_release); }

bool isManual() { return manualMode.load(std::memory_order_acquire); }

}  // namespace ticksForTests
