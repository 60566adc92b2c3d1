// enumMachinesSocket_t: one probe of the machine search. It connects to a
// host's machines server, reads the greeting's machine list and leaves; it
// never answers the greeting, so the server sees a connection that closes
// right after it.
//
// Threads: the socket thread fills the list (under the shared lock) and sets
// the done event; the search reads the list after waitDone.
#pragma once
#include "link/qvrSocket.h"
#include "machine/event.h"
#include "machine/machineHostIDname.h"

#include <string>
#include <vector>

class enumMachinesSocket_t : public qvrSocket_t {
public:
    static constexpr int defaultPort = 8722;
    // The longest wait for one server's answer.
    static constexpr DWORD doneWaitMs = 5000;

    // Starts connecting to the host at once.
    enumMachinesSocket_t(const std::wstring& host, const sharedLock_t& lock, int port = defaultPort);
    ~enumMachinesSocket_t() override;

    void onConnectFailed() override;
    // Takes the greeting's machine list; any message ends the conversation.
    void onMessage(socketBytes_t message) override;
    // A server that hangs up without greeting has answered too.
    int onDisconnected() override;

    // Waits up to 5000 ms for the answer (or the failed connect).
    bool waitDone();
    bool isDone();
    // A copy of the machines found (each with this socket's host).
    std::vector<machineHostIDname_t> getMachines() const;
    event_t& doneEvent() { return done_; }

private:
    event_t done_{true, false};
    std::vector<machineHostIDname_t> machines_;  // under the shared lock
};
