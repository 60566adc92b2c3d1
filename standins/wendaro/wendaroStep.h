// wendaroStep_t: one thing a connection does for its session: send bytes,
// pause, or close.
#pragma once
#include <cstdint>
#include <vector>

struct wendaroStep_t {
    enum class kind_e { send_e, pause_e, close_e };
    kind_e kind = kind_e::send_e;
    std::vector<std::uint8_t> bytes;
    std::uint32_t ms = 0;
};
