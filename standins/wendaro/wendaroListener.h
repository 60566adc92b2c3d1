// wendaroListener_t: the stand-in server's listening socket: each accepted
// connection becomes a wendaroConnection_t on a worker thread.
#pragma once
#include "link/qvrSocket.h"

#include <string>

class wendaroServer_t;

class wendaroListener_t : public qvrSocket_t {
public:
    wendaroListener_t(wendaroServer_t& server, const sharedLock_t& lock);
    ~wendaroListener_t() override;

    basicSocket_t* createConnection(int socketHandle) override;

protected:
    // This computer's name when it resolves, else the loop-back name (so a
    // computer whose name does not resolve still serves loop-back clients).
    std::string ourHostName() const override;

private:
    wendaroServer_t& server_;
};
