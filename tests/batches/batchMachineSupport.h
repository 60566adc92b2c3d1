// Procedures against a simulated printer: the in-process machines server
// with machine 1, a client device connected with control access, made the
// global client device and brought into the technician state (5).
#pragma once
#include "link/qvrClientDev.h"
#include "machine/sharedLock.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/support/packetRecorder.h"
#include "tests/support/queueWindow.h"
#include "tests/support/tempPrefix.h"

#include <memory>
#include <vector>

class batchMachineThreadsTest : public prefixTest {
protected:
    static constexpr std::uint32_t machineId = 1;

    void SetUp() override;
    void TearDown() override;

    // The printer and the trace are the server's: gone once it is stopped.
    wendaroServer_t& server() { return *server_; }
    simPrinter_t& printer() { return server_->printer(machineId); }
    qvrClientDev_t& device() { return *device_; }
    // Where the device posts its notifications (WM_USER+222).
    queueWindow_t& deviceWindow() { return deviceWindow_; }
    // The codes of the commands the printer received from the mark on,
    // without the status polls (1, 12).
    std::uint64_t mark() const;
    std::vector<int> codesSince(std::uint64_t from) const;
    // What the procedure, its dialogs and the test handed to the device, by
    // any thread but the device's own (so without its polls), each command
    // as [code][payload], from the mark on.
    std::size_t sentCommandsMark() const { return device_->sentCount(); }
    std::vector<std::vector<std::uint8_t>> sentCommandsSince(std::size_t from) const
    {
        return device_->bytesSince(from);
    }

    // A fixture may set its printer up differently before the server starts.
    virtual void configure(simPrinterConfig_t&) {}

    // The printer sets error 7 as the next command with this code arrives,
    // and so does not carry it out.
    void failNextCommand(int code);

    bool waitDeviceState(int state);
    bool enterTechnicianMode();
    bool leaveTechnicianMode();

private:
    std::unique_ptr<wendaroServer_t> server_;
    queueWindow_t deviceWindow_;
    sharedLock_t lock_;
    std::unique_ptr<packetRecorder_t<qvrClientDev_t>> device_;
};
