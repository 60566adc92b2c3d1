// wendaroStep_t: one thing a connection does for its session: send bytes,
// pause, close, or tell the server that its client asked the program to
// close. That request is noted only once the steps before it have run: the
// program may stop the server as soon as it sees it, and the client that
// asked must have its "OK" by then.
#pragma once
#include <cstdint>
#include <vector>

struct wendaroStep_t {
    enum class kind_e { send_e, pause_e, close_e, askClose_e };
    kind_e kind = kind_e::send_e;
    std::vector<std::uint8_t> bytes;
    std::uint32_t ms = 0;
};
