#include "link/enumMachinesSocket.h"

#include "link/inputStream.h"
#include "link/qvrClientSocket.h"

enumMachinesSocket_t::enumMachinesSocket_t(const std::wstring& host, const sharedLock_t& lock, int port)
    : qvrSocket_t(lock)
{
    connect(host, port);
}

enumMachinesSocket_t::~enumMachinesSocket_t()
{
    // The socket thread calls back into this object; it ends first.
    shutdown();
}

void enumMachinesSocket_t::onConnectFailed()
{
    done_.set();
}

int enumMachinesSocket_t::onDisconnected()
{
    done_.set();
    return 0;
}

void enumMachinesSocket_t::onMessage(socketBytes_t message)
{
    inputStream_t in(message.data(), static_cast<std::int32_t>(message.size()));
    if (in.readString() == qvrClientSocket_t::greetingWord) {
        lockGuard_t guard(sharedLock());
        double neededClient = 0.0;
        double serverVersion = 0.0;
        in >> neededClient >> serverVersion;
        std::vector<machineHostIDname_t> found;
        in >> found;
        for (machineHostIDname_t& machine : found) {
            // The server names its machines as it sees them; the search
            // knows them by the host it asked.
            machine.host = host_;
            machines_.push_back(std::move(machine));
        }
    }
    // One message per search socket.
    done_.set();
    stop_.set();
}

bool enumMachinesSocket_t::waitDone()
{
    return done_.wait(doneWaitMs);
}

bool enumMachinesSocket_t::isDone()
{
    return done_.isSet();
}

std::vector<machineHostIDname_t> enumMachinesSocket_t::getMachines() const
{
    lockGuard_t guard(sharedLock());
    return machines_;
}
