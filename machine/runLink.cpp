#include "machine/runLink.h"

#include "machine/basicComm.h"

void runLink_t::take(basicComm_t* device)
{
    session_.store(device != nullptr ? device->linkSession() : 0);
    device_.store(device);
}

bool runLink_t::holds() const
{
    basicComm_t* device = device_.load();
    const std::uint64_t session = session_.load();
    return device != nullptr && session != 0 && device->linkSession() == session;
}
