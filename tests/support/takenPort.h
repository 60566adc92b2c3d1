// Whether a loopback port can be listened on as the machines server listens
// on it, and, when it cannot, which program holds it and how to stop it. A
// test that needs the server's fixed port skips with that note instead of
// failing, since the demo's Wendaro.exe keeps the port after the technician
// program has closed.
#pragma once
#include <string>
#include <sys/types.h>

struct portHolder_t {
    pid_t pid = 0;       // 0 when the listening socket belongs to a process this user cannot see
    std::string program; // the holder's program file (Linux path)
    std::string prefix;  // QVR_PREFIX of the holder's environment, empty when not set
};

// True when 127.0.0.1:<port> cannot be bound for listening (address reuse on,
// as the server binds it).
bool portTaken(int port);
// The process that listens on the port (found through /proc).
portHolder_t portHolder(int port);
// Empty when the port is free; otherwise one line that names the holder and
// how to stop it.
std::string portTakenNote(int port);
