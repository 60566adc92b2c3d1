// The machines server stand-in drops its connections, as a server does whose
// network goes away for a moment; the client device then makes a new link by
// itself. Header only: the suites that use it link the stand-in and the
// machine link, the support library does not.
#pragma once
#include "link/qvrClientDev.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/support/waitUntil.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

class droppedLink_t {
public:
    // Drops every connection the server has now.
    explicit droppedLink_t(wendaroServer_t& server) : server_(server)
    {
        for (const wendaroServer_t::connectionInfo_t& connection : server_.connections()) {
            server_.dropConnection(connection.id);
            dropped_.push_back(connection.id);
        }
    }

    // A connection this drop ended. What the server read from it may still
    // reach the printer after the drop, over the old link: that server
    // thread is not waited for.
    bool ended(std::uint32_t connection) const
    {
        return std::find(dropped_.begin(), dropped_.end(), connection) != dropped_.end();
    }

    // Until the device is connected again over a connection of the machine
    // that the server accepted after the drop.
    bool waitForNewLink(qvrClientDev_t& device, std::uint32_t machine,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30)) const
    {
        return waitUntil(
            [&] {
                for (const wendaroServer_t::connectionInfo_t& connection : server_.connections())
                    if (connection.machine == machine && !ended(connection.id))
                        return device.isConnected();
                return false;
            },
            timeout);
    }

private:
    wendaroServer_t& server_;
    std::vector<std::uint32_t> dropped_;
};
