// One simulated printer served on an ephemeral port and a client device
// connected to it as the current device, waiting in state 7: what the pages
// that talk to a machine run against.
#pragma once
#include "link/currentClientDevice.h"
#include "machine/sharedLock.h"
#include "platform/qt/processEventsUntil.h"
#include "standins/wendaro/wendaroServer.h"

#include <gtest/gtest.h>

#include <memory>

template <class device_t>
class connectedPrinter_t {
public:
    connectedPrinter_t() : device_(std::make_unique<device_t>(HWND(0), lock_)) {}
    ~connectedPrinter_t() { stop(); }

    // Serves the printer (without log files) and connects the device; run
    // it with ASSERT_NO_FATAL_FAILURE.
    void start(simPrinterConfig_t printer)
    {
        wendaroConfig_t config;
        config.port = 0;
        printer.writeLogs = false;
        wendaroMachineConfig_t machine;
        machine.printer = printer;
        config.machines.push_back(machine);
        server_ = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server_->start());
        setCurrentClientDevice(device_.get());
        ASSERT_TRUE(device_->connect(L"localhost", 1, true, server_->port()));
        ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 7; }));
    }

    // The device goes first, then the server; again does nothing.
    void stop()
    {
        setCurrentClientDevice(nullptr);
        device_.reset();
        if (server_)
            server_->stop();
        server_.reset();
    }

    device_t* device() const { return device_.get(); }
    wendaroServer_t* server() const { return server_.get(); }

private:
    sharedLock_t lock_;
    std::unique_ptr<device_t> device_;
    std::unique_ptr<wendaroServer_t> server_;
};
