#include "standins/wendaro/wendaroConnection.h"

#include "standins/wendaro/wendaroRequest.h"
#include "standins/wendaro/wendaroServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

wendaroConnection_t::wendaroConnection_t(int acceptedSocket, basicSocket_t* listener, wendaroServer_t& server,
                                         std::uint32_t id)
    : qvrSocket_t(acceptedSocket, listener), server_(server), id_(id)
{
}

wendaroConnection_t::~wendaroConnection_t()
{
    // The thread calls this object's overrides: it ends first.
    shutdown();
    if (session_)
        session_->end();
    server_.unregisterConnection(id_);
}

void wendaroConnection_t::onConnected()
{
    // Each message goes out at once, so that it arrives as one receive.
    const int on = 1;
    ::setsockopt(mainSocket(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const std::wstring host = getHost();
    server_.registerConnection(id_, this, host);
    session_ = std::make_unique<wendaroSession_t>(server_, id_, host, localHostFlag());
    run(session_->greet());
}

int wendaroConnection_t::onDisconnected()
{
    if (session_)
        session_->end();
    return 0;
}

messageCompleteness_e wendaroConnection_t::messageCompleteness(const socketBytes_t& received)
{
    const std::optional<std::uint32_t> upload = session_ ? session_->uploadSize() : std::nullopt;
    const wendaroRequest_t request = wendaroRequest_t::read(received.data(), received.size(), upload);
    return request.parse == wendaroRequest_t::parse_e::incomplete_e ? messageIncomplete_e : messageComplete_e;
}

void wendaroConnection_t::onMessage(socketBytes_t message)
{
    dataArrived_.reset();
    if (!session_)
        return;
    const wendaroSession_t::steps_t steps =
        session_->handle(message.data(), message.size(), [this] { return gone(); });
    run(steps);
}

void wendaroConnection_t::run(const wendaroSession_t::steps_t& steps)
{
    bool sent = false;
    for (const wendaroSession_t::step_t& step : steps) {
        switch (step.kind) {
        case wendaroSession_t::step_t::kind_e::send_e:
            send(step.bytes.data(), static_cast<int>(step.bytes.size()));
            sent = true;
            break;
        case wendaroSession_t::step_t::kind_e::pause_e:
            // Ends early when the connection closes.
            stop_.wait(step.ms);
            break;
        case wendaroSession_t::step_t::kind_e::close_e:
            closeConnection();
            break;
        case wendaroSession_t::step_t::kind_e::askClose_e:
            server_.noteCloseRequest();
            break;
        }
    }
    // No reply: the loop still reads the client's next message (or its
    // disconnection) instead of waiting for a send that never comes.
    if (!sent)
        dataSent_.set();
}

bool wendaroConnection_t::gone() const
{
    if (stop_.isSet())
        return true;
    pollfd peer{mainSocket(), POLLRDHUP, 0};
    if (::poll(&peer, 1, 0) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0)
        return true;
    return false;
}
