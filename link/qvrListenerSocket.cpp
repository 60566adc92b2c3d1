#include "link/qvrListenerSocket.h"

#include "link/machinesManager.h"
#include "link/qvrClientSocket.h"

qvrListenerSocket_t::qvrListenerSocket_t(machinesManager_t* manager, int port, const sharedLock_t& lock,
                                         const std::string& ourHost)
    : qvrSocket_t(lock), manager_(manager), ourHost_(ourHost)
{
    // Last: the listener's thread starts here and may at once call back.
    listen(port);
}

qvrListenerSocket_t::~qvrListenerSocket_t()
{
    shutdown();
}

std::string qvrListenerSocket_t::ourHostName() const
{
    return ourHost_.empty() ? qvrSocket_t::ourHostName() : ourHost_;
}

basicSocket_t* qvrListenerSocket_t::createConnection(int socketHandle)
{
    auto* socket = new qvrClientSocket_t(socketHandle, this, false);
    // A device that could not take the connection leaves it to the listener,
    // closed at once: nobody would read it.
    if (manager_ == nullptr || !manager_->addAcceptedDevice(socket))
        socket->closeConnection();
    return socket;
}
