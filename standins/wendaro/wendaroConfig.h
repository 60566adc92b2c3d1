// wendaroConfig_t: how one stand-in machines server is set up: its port, its
// data root, what its greeting says, how it grants access, how its printers'
// clocks run, and its machines.
#pragma once
#include "standins/wendaro/simPrinterConfig.h"

#include <cstdint>
#include <string>
#include <vector>

struct wendaroMachineConfig_t {
    // The printer; its machineID is the machine's ID on the server (never 0).
    simPrinterConfig_t printer;
    // Empty: "Printer " and the ID.
    std::wstring name;
    // Empty: the queue requests need no password.
    std::wstring password;
};

struct wendaroConfig_t {
    enum class clock_e {
        real_e,    // a server thread runs every printer's clock on real time (x its time scale)
        manual_e,  // the printers' clocks move only when a test advances them
    };

    static constexpr int defaultPort = 8722;

    // 0: an ephemeral port (read it back from the server once started).
    int port = defaultPort;
    // The data root of the machine folders and of "QVR_SHARE"; empty: the
    // system's own ("BaseDirectory", as the client reads it).
    std::wstring dataRoot;
    // The greeting's two versions: the client refuses A above 12.0 and B
    // below 1.0, and shows B as the driver version (12.0 reads "2.0").
    double greetingA = 12.0;
    double greetingB = 12.0;
    // Control access for one connection per machine: a later control request
    // from the same user and host takes it over (the older connection is
    // closed), any other gets view-only access. Off: every client gets the
    // access it asks for.
    bool exclusiveControl = false;
    // A greeting answer for a machine ID the server does not have: off, no
    // answer (the client keeps reconnecting); on, the first machine.
    bool unknownMachineToFirst = false;
    clock_e clock = clock_e::real_e;
    // Period of the server's clock and housekeeping thread.
    std::uint32_t tickMs = 5;
    // Off: no housekeeping thread; for a harness that feeds sessions from its
    // own thread with a manual clock and calls advance() itself (a thread
    // waking every tick would only take the server's locks from under it
    // and make each run depend on when it woke). Closed connections are
    // then deleted only by stop().
    bool housekeepingThread = true;
    // The host name the greeting's machine list gives; empty: this
    // computer's name.
    std::wstring hostName;
    // Empty: one machine with ID 1.
    std::vector<wendaroMachineConfig_t> machines;
};
