// wendaroConnection_t: one client connection accepted by the stand-in
// server. It runs on a worker thread of the listener: greets the client as
// soon as the receive loop starts, tells the socket layer when a request is
// whole, and carries out what its session decides for each request (send,
// pause, close). A request that gets no reply still lets the loop read the
// next one, so a silent server never wedges the connection.
#pragma once
#include "link/qvrSocket.h"
#include "standins/wendaro/wendaroSession.h"

#include <cstdint>
#include <memory>

class wendaroServer_t;

class wendaroConnection_t : public qvrSocket_t {
public:
    wendaroConnection_t(int acceptedSocket, basicSocket_t* listener, wendaroServer_t& server, std::uint32_t id);
    ~wendaroConnection_t() override;

    std::uint32_t id() const { return id_; }

    void onConnected() override;
    int onDisconnected() override;
    void onMessage(socketBytes_t message) override;
    messageCompleteness_e messageCompleteness(const socketBytes_t& received) override;

private:
    void run(const wendaroSession_t::steps_t& steps);
    // The client has closed its end, or this connection is closing.
    bool gone() const;

    wendaroServer_t& server_;
    const std::uint32_t id_;
    // Made on the connection's thread, used only there.
    std::unique_ptr<wendaroSession_t> session_;
};
