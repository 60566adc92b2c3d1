// Scripts that drive a simulated printer: the in-process machines server
// with one printer (machine 1, actions of 25 ms), a client device connected
// with control access and brought into the technician state (5), and
// helpers that read back what the printer received.
#pragma once
#include "link/qvrClientDev.h"
#include "machine/sharedLock.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/script/scriptTestSupport.h"
#include "tests/support/queueWindow.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

using bytes_t = std::vector<std::uint8_t>;

// Fields of a command as the machine reads them (little-endian).
bytes_t u8(std::int32_t value);
bytes_t i16(std::int32_t value);
bytes_t i32(std::int32_t value);
// The code byte followed by the fields.
bytes_t command(std::uint8_t code, std::initializer_list<bytes_t> fields = {});
// "135: 16 39 0 0 32 78 0 0", for readable comparisons.
std::string describe(const bytes_t& packet);
std::vector<std::string> describe(const std::vector<bytes_t>& packets);

class scriptMachineThreadsTest : public scriptTest {
protected:
    static constexpr std::uint32_t machineId = 1;
    static constexpr std::uint32_t actionMs = 25;

    void SetUp() override;
    void TearDown() override;

    wendaroServer_t& server() { return *server_; }
    simPrinter_t& printer() { return server_->printer(machineId); }
    qvrClientDev_t& device() { return *device_; }

    // Writes the script and runs it on the device.
    scriptRun_t runOnMachine(const std::string& source, batchStopTest_t stopTest = {});

    // A place in the printer's trace to read from.
    std::uint64_t mark() const;
    // The commands the printer received from the mark on, without the
    // status polls (1, 12) and the test's own flush (19): [code][fields].
    std::vector<bytes_t> commandsSince(std::uint64_t from) const;
    // Those commands whose reply (type 10, the answer to an awaited
    // command) the printer had already sent at the time of the call.
    std::vector<bytes_t> answeredSince(std::uint64_t from) const;
    // Queues command 19 and waits until the printer received it: every
    // command queued before it has arrived by then.
    bool flush();

    // Command 146 (state 7 -> 5) or 132 (5 -> 7), and the device sees it.
    bool enterTechnicianMode();
    bool leaveTechnicianMode();
    bool waitDeviceState(int state);

private:
    std::unique_ptr<wendaroServer_t> server_;
    queueWindow_t window_;
    sharedLock_t lock_;
    std::unique_ptr<qvrClientDev_t> device_;
};
