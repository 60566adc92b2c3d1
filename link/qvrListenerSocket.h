// qvrListenerSocket_t: a listening socket that turns every machines-server
// connection it accepts into a client device of its device manager
// (link/machinesManager.h). The accepted connection runs on one of the
// listener's worker threads; the device reads it as it reads an outgoing
// one, and posts notification 134 instead of reconnecting when it ends.
//
// Threads: createConnection runs on the listener's thread under the shared
// lock, which is the manager's.
#pragma once
#include "link/qvrSocket.h"

#include <string>

class machinesManager_t;

class qvrListenerSocket_t : public qvrSocket_t {
public:
    // Listens at once: on the loop-back address, and on this computer's own
    // address as soon as it binds. ourHost names that address's host (empty:
    // this computer's host name). Port 0 takes an ephemeral port
    // (listeningPort() once waitListening() says it listens).
    qvrListenerSocket_t(machinesManager_t* manager, int port, const sharedLock_t& lock,
                        const std::string& ourHost = std::string());
    // Stops listening, closes every accepted connection and waits for the
    // threads.
    ~qvrListenerSocket_t() override;

    // A client socket without control access for the handle, handed to the
    // manager's addAcceptedDevice.
    basicSocket_t* createConnection(int socketHandle) override;

protected:
    std::string ourHostName() const override;

private:
    machinesManager_t* manager_;
    std::string ourHost_;
};
