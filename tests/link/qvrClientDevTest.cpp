// The client device without its thread: replies are handed in as the queue's
// current packet and handled, so that the handlers, the layer-record fetch,
// the batch commands and the conversions can be checked packet by packet.
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/registryUtils.h"
#include "platform/files.h"
#include "tests/link/clientTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>

using namespace clientTest;

namespace {

class qvrClientDevTest : public prefixTest {
protected:
    queueWindow_t window;
    sharedLock_t lock;
    qvrClientDev_t device{window.handle(), lock};

    std::vector<bytes_t> queued()
    {
        lockGuard_t guard(device.getLock());
        std::vector<bytes_t> out;
        for (const packetBuffer_t& p : device.getQueue().packets())
            out.emplace_back(p.data(), p.data() + p.length());
        return out;
    }
    // A reply packet [type][payload] handled as if it had just arrived.
    void reply(const bytes_t& packet)
    {
        packetBuffer_t current(qvrClientSocket_t::messageCapacity);
        current.append(packet.data(), static_cast<std::int32_t>(packet.size()));
        device.getQueue().setCurrent(current);
        device.handleReply();
    }
    void status(const statusFields_t& s) { reply(bytes_t{1} + statusRecord(s)); }
};

TEST_F(qvrClientDevTest, SendAndWaitOutsideTechnicianModeSendsNothing)
{
    statusFields_t s;
    s.state = 7;
    status(s);
    device.getQueue().clear();
    const auto started = std::chrono::steady_clock::now();
    device.sendCommandWait(130, 1, 2);
    device.sendCommandDataWait(136, hexBytes("01 02 03 04 05 06 07 08").data(), 8);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(queued().empty());
}

TEST_F(qvrClientDevTest, BatchPreparationQueuesByMachineState)
{
    struct case_t {
        uint8_t state;
        std::vector<bytes_t> prepare;
        std::vector<bytes_t> release;
    };
    const std::vector<case_t> cases = {
        {5, {}, {hexBytes("01 9E")}},
        {1, {hexBytes("01 04"), hexBytes("01 92"), hexBytes("01 01")}, {hexBytes("01 9E")}},
        {7, {hexBytes("01 04"), hexBytes("01 92"), hexBytes("01 01")}, {hexBytes("01 04"), hexBytes("01 9E")}},
        {2, {hexBytes("01 92"), hexBytes("01 01")}, {hexBytes("01 9E")}},
        {3, {hexBytes("01 01")}, {hexBytes("01 9E")}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(int(c.state));
        statusFields_t s;
        s.state = c.state;
        status(s);
        device.getQueue().clear();
        device.prepareForBatch();
        EXPECT_EQ(queued(), c.prepare);
        device.getQueue().clear();
        device.releaseFromBatch();
        EXPECT_EQ(queued(), c.release);
    }
}

TEST_F(qvrClientDevTest, SafeZPositionAddsTheMeasuredHeightToTheParameters)
{
    statusFields_t s;
    s.byte16 = 1000;
    status(s);
    device.getQueue().clear();
    device.moveZtoSafePos();
    const std::int32_t expected = device.getParamValue(*findParameter(-1, L"Z Safe Pos")) + 1000 +
                                  device.getParamValue(*findParameter(-1, L"Z Base Delta"));
    EXPECT_EQ(queued(), std::vector<bytes_t>{hexBytes("06 81 02") + u32(static_cast<uint32_t>(expected))});
}

// A send-and-wait returns when its own command leaves the queue, or when
// the machine leaves state 5; never for a reply that closes another command.
TEST_F(qvrClientDevTest, SendAndWaitReturnsOnlyForItsOwnCommand)
{
    statusFields_t technician;
    technician.state = 5;
    statusFields_t ready;
    const bytes_t ten = bytes_t{10} + statusRecord(technician);
    const bytes_t layerLength = hexBytes("0E 80 4A 5D 05");  // command 14, queued only
    const bytes_t home = hexBytes("82 02");                  // the awaited command 130
    // A reply handled in turn; none: a reset that clears the queue.
    using step_t = std::optional<bytes_t>;
    struct case_t {
        const char* name;
        std::vector<bytes_t> before;  // commands queued ahead of the wait
        std::vector<step_t> steps;
        std::size_t releasedAfter;    // index of the step that releases
        std::vector<WPARAM> codes;
    };
    const std::vector<case_t> cases = {
        {"type 10 closing it", {}, {ten}, 0, {}},
        {"type 12 closing it", {}, {bytes_t{12}}, 0, {}},
        {"a status closing it", {}, {bytes_t{1} + statusRecord(technician)}, 0, {}},
        // Type 2 tells nothing of the state: the status asked for then decides.
        {"type 2 closing it, then a status", {}, {bytes_t{2}, bytes_t{1} + statusRecord(technician)}, 1,
         {102 + (130 << 16)}},
        {"an empty reply closing it", {}, {bytes_t{}}, 0, {}},
        {"type 13, which closes only command 19", {}, {bytes_t{13} + statusRecord(technician), ten}, 1, {141}},
        {"a cut-short type 13", {}, {bytes_t{13, 7, 0, 0, 0}, ten}, 1, {}},
        {"type 10 to a command only queued", {layerLength}, {ten, ten}, 1, {}},
        {"a status outside state 5", {layerLength}, {bytes_t{1} + statusRecord(ready)}, 0, {}},
        {"a reset", {layerLength}, {std::nullopt}, 0, {}},
        {"dropped as a duplicate: the one waiting counts", {layerLength, home}, {ten, ten}, 1, {}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        queueWindow_t caseWindow;
        sharedLock_t caseLock;
        qvrClientDev_t caseDevice(caseWindow.handle(), caseLock);
        auto handle = [&](const bytes_t& packet) {
            packetBuffer_t current(qvrClientSocket_t::messageCapacity);
            current.append(packet.data(), static_cast<std::int32_t>(packet.size()));
            caseDevice.getQueue().setCurrent(current);
            caseDevice.handleReply();
        };
        // The first status gives the machine an ID and state 5.
        handle(bytes_t{1} + statusRecord(technician));
        caseDevice.getQueue().clear();
        caseWindow.takeAll();
        for (const bytes_t& command : c.before) {
            packetBuffer_t packet(64);
            packet.append(command.data(), static_cast<std::int32_t>(command.size()));
            caseDevice.sendPacket(packet);
        }
        auto waiter = std::async(std::launch::async, [&] { caseDevice.sendCommandWait(130, 1, 2); });
        ASSERT_TRUE(waitUntil([&] { return caseDevice.waitingCount() == 1; }));
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            if (c.steps[i])
                handle(*c.steps[i]);
            else
                caseDevice.reset();
            if (i < c.releasedAfter) {
                EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout) << i;
            }
        }
        ASSERT_EQ(waiter.wait_for(std::chrono::seconds(15)), std::future_status::ready);
        auto seen = codes(caseWindow);
        seen.erase(std::remove_if(seen.begin(), seen.end(), [](WPARAM code) { return code == 1; }), seen.end());
        EXPECT_EQ(seen, c.codes);
    }
}

TEST_F(qvrClientDevTest, LayerRecordsAreStoredInOrderAndTheFetchRestartsWhenStale)
{
    statusFields_t building;
    building.flags |= 1u << 9;
    building.layerCount = 3;
    status(building);
    device.getQueue().clear();
    window.takeAll();

    device.requestLayerRecords(10);
    EXPECT_EQ(queued(), (std::vector<bytes_t>{hexBytes("03 0A 00 00"), hexBytes("03 0A 01 00"),
                                              hexBytes("03 0A 02 00"), hexBytes("03 0A 03 00")}));
    // Records arrive for the request at the front, each once.
    for (int i = 0; i <= 3; ++i)
        reply(bytes_t{9} + layerRecord(100 * (i + 1)));
    EXPECT_EQ(device.getLastReceivedLayerIndex(), 3);
    EXPECT_EQ(countCode(window, 124), 4);
    EXPECT_EQ(device.getLayerRecord(2).height(), 300);
    // Nothing more to fetch.
    device.requestLayerRecords(10);
    EXPECT_TRUE(queued().empty());

    // A record for a layer out of order, a short one, one without a layer
    // request in flight: none is stored.
    device.sendCommandArgs(10, 2, 7);
    reply(bytes_t{9} + layerRecord(5));
    device.sendCommandArgs(10, 2, 4);
    reply(bytes_t{9, 1, 2, 3});
    device.sendCommand(1);
    reply(bytes_t{9} + layerRecord(5));
    EXPECT_EQ(device.getLastReceivedLayerIndex(), 3);
    EXPECT_EQ(countCode(window, 124), 4);

    // A new build (not building in between) makes the fetch stale: it starts
    // again from layer 0.
    status(statusFields_t{});
    status(building);
    device.getQueue().clear();
    device.requestLayerRecords(10);
    EXPECT_EQ(queued(), std::vector<bytes_t>{hexBytes("03 0A 00 00")});
    EXPECT_EQ(device.getLastRequestedLayerIndex(), 0);
    reply(bytes_t{9} + layerRecord(1));

    // Fewer layers than were asked for, with requests still waiting: start
    // again too.
    device.requestLayerRecords(10);  // asks 1..3
    building.layerCount = 1;
    status(building);  // answers the request for layer 1 (not a layer record)
    device.requestLayerRecords(10);
    EXPECT_EQ(device.getLastRequestedLayerIndex(), 0);
    EXPECT_EQ(device.getLastReceivedLayerIndex(), -1);
    EXPECT_EQ(queued().back(), hexBytes("03 0A 00 00"));
}

TEST_F(qvrClientDevTest, TheLayerTableHoldsTwoThousandRecords)
{
    statusFields_t building;
    building.flags |= 1u << 9;
    building.layerCount = 2500;
    status(building);
    device.getQueue().clear();
    window.takeAll();
    // Indices past the table are never asked for.
    for (int round = 0; round < 300 && device.getLastReceivedLayerIndex() < 1999; ++round) {
        device.requestLayerRecords(10);
        while (!device.getQueue().isEmpty())
            reply(bytes_t{9} + layerRecord(device.getLastReceivedLayerIndex() + 2));
    }
    EXPECT_EQ(device.getLastReceivedLayerIndex(), 1999);
    EXPECT_EQ(device.getLastRequestedLayerIndex(), 1999);
    device.requestLayerRecords(10);
    EXPECT_TRUE(queued().empty());
    // A record for index 2000 is neither stored nor told.
    device.sendCommandArgs(10, 2, 2000);
    reply(bytes_t{9} + layerRecord(42));
    EXPECT_EQ(device.getLastReceivedLayerIndex(), 1999);
    EXPECT_EQ(countCode(window, 124), 2000);
    EXPECT_EQ(device.getLayerRecord(1999).height(), 2000);
    EXPECT_EQ(device.getLayerRecord(2000).height(), 0);
    EXPECT_EQ(device.getLayerRecord(-1).height(), 0);
}

TEST_F(qvrClientDevTest, ConversionsByAxis)
{
    // Default step sizes: X and Y 21892, Z 1250, Pump 2500, Feeder 7860.
    EXPECT_EQ(device.stepSizeOf(2), 1250);
    EXPECT_EQ(device.stepSizeOf(5), 0);
    struct case_t {
        std::int32_t axis;
        std::int64_t nanometres;
        std::int64_t steps;
    };
    for (const case_t c : {case_t{2, 625, 1}, case_t{2, 624, 0}, case_t{2, -625, -1}, case_t{2, -624, 0},
                           case_t{0, 21892 * 3, 3}, case_t{7, 1000000, 0}, case_t{3, 0, 0}}) {
        SCOPED_TRACE(c.nanometres);
        EXPECT_EQ(device.nanoToSteps(c.axis, c.nanometres), c.steps);
    }
    EXPECT_EQ(device.stepsToNano(3, 4), 10000);
    EXPECT_EQ(device.mmToSteps(2, 1.0), 800);
    EXPECT_EQ(device.mmToSteps(2, -1.0), -800);
    EXPECT_DOUBLE_EQ(device.stepsToMm(2, 800), 1.0);
    // Beyond 32 bits, nothing wraps.
    EXPECT_EQ(device.stepsToNano(0, 200000), 4378400000LL);
    EXPECT_EQ(device.mmToSteps(2, 1e300), device.mmToSteps(2, 1e20));
    EXPECT_GT(device.mmToSteps(2, 1e300), 0);
}

TEST_F(qvrClientDevTest, FileInformationIsToldOnlyWhenOneOfTheTwoIsPresent)
{
    fileInfo_t absent;
    fileInfo_t present;
    present.values[fileInfo_t::presentIndex] = 1;
    device.setFileInfo(absent);
    EXPECT_EQ(countCode(window, 133), 0);
    device.setFileInfo(present);
    device.setFileInfo(absent);
    EXPECT_EQ(countCode(window, 133), 2);
    device.setFileInfo(absent);
    EXPECT_EQ(countCode(window, 133), 2);
}

TEST_F(qvrClientDevTest, IdentityOfTheMachineAndTheConnection)
{
    EXPECT_EQ(device.accessModeText(), L"View Only");
    EXPECT_EQ(device.getPort(), 8722);
    EXPECT_TRUE(device.isSameMachine(machineHostIDname_t(L"", 0, L"", 0, 0)));
    EXPECT_FALSE(device.isSameMachine(machineHostIDname_t(L"localhost", 3, L"", 0, 0)));

    // A machine ID set by hand makes the machine's folder and parameters
    // file; the status keeps its own ID.
    device.setMachineID(0);
    device.setMachineID(42);
    EXPECT_EQ(device.getMachineID(), 0u);
    EXPECT_EQ(device.getParamValue(*findParameter(0, L"Machine ID")), 42);
    EXPECT_TRUE(readRawFile(L"C:/QVR_Printers/42/Settings/MachineParameters.txt").has_value());

    // Offline: only a machine whose folder exists.
    EXPECT_FALSE(device.openOffline(43));
    EXPECT_TRUE(device.openOffline(42));
    EXPECT_EQ(device.getMachineName(), L"#42");
    EXPECT_EQ(device.getMachineInfo().embeddedVersion(), 2050);
}

TEST_F(qvrClientDevTest, NewDataRootIsCreatedBeforeItIsStored)
{
    const auto stored = [] {
        return regReadString(L"SOFTWARE\\Brevanquillor\\qvrComm", L"BaseDirectory", L"(none)", HKEY_CURRENT_USER);
    };
    EXPECT_TRUE(qvrClientDev_t::setBaseDirectory(L"C:/Data"));
    EXPECT_EQ(stored(), L"C:/Data");
    EXPECT_TRUE(isFolder(L"C:/Data"));
    EXPECT_EQ(getBaseFolder(), L"C:/Data");
    std::wstring read;
    qvrClientDev_t::getBaseDirectory(read);
    EXPECT_EQ(read, L"C:/Data");

    // The device made the default root already: an existing folder will do.
    EXPECT_TRUE(qvrClientDev_t::setBaseDirectory(L"C:/QVR_Printers"));
    EXPECT_EQ(stored(), L"C:/QVR_Printers");
    // A folder that cannot be made leaves the setting alone.
    EXPECT_FALSE(qvrClientDev_t::setBaseDirectory(L"C:/No Such/Data"));
    EXPECT_EQ(stored(), L"C:/QVR_Printers");
    EXPECT_FALSE(fileOrFolderExists(L"C:/No Such"));
}

TEST_F(qvrClientDevTest, GlobalDevicePointerIsTheMachineLibrarysCurrentDevice)
{
    {
        sharedLock_t otherLock;
        auto other = std::make_unique<qvrClientDev_t>(window.handle(), otherLock);
        setCurrentClientDevice(other.get());
        EXPECT_EQ(getCurrentClientDevice(), other.get());
        EXPECT_EQ(getCurrentDevice(), static_cast<qvrCommDev_t*>(other.get()));
        setCurrentDevice(&device);
        EXPECT_EQ(getCurrentClientDevice(), nullptr);
        setCurrentClientDevice(other.get());
        other.reset();
        // A deleted device is no longer reachable.
        EXPECT_EQ(getCurrentClientDevice(), nullptr);
        EXPECT_EQ(getCurrentDevice(), nullptr);
    }
    setCurrentClientDevice(nullptr);
}

}  // namespace
