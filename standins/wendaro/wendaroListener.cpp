#include "standins/wendaro/wendaroListener.h"

#include "link/hostResolution.h"
#include "standins/wendaro/wendaroConnection.h"
#include "standins/wendaro/wendaroServer.h"

wendaroListener_t::wendaroListener_t(wendaroServer_t& server, const sharedLock_t& lock)
    : qvrSocket_t(lock), server_(server)
{
}

wendaroListener_t::~wendaroListener_t() { shutdown(); }

basicSocket_t* wendaroListener_t::createConnection(int socketHandle)
{
    return new wendaroConnection_t(socketHandle, this, server_, server_.nextConnectionId());
}

std::string wendaroListener_t::ourHostName() const
{
    const std::string name = qvrSocket_t::ourHostName();
    if (!name.empty() && !resolveHostAddress(name).empty())
        return name;
    return "localhost";
}
