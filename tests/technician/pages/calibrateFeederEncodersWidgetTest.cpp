#include "link/currentClientDevice.h"
#include "machine/sharedLock.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/processEventsUntil.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/pages/calibrateFeederEncoders.h"
#include "tests/support/droppedLink.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/connectedPrinter.h"
#include "tests/technician/technicianTestDevices.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class calibrateFeederEncodersWidgetTest : public prefixTest {};

// Without media a test sends nothing and stays startable; Close then does
// not take the machine out of state 5, since no test was started.
TEST_F(calibrateFeederEncodersWidgetTest, WithoutMediaNothingIsSentAndCloseSendsNothing)
{
    sharedLock_t lock;
    testClientDev_t device(HWND(0), lock);
    device.setMachineState(5);
    setCurrentClientDevice(&device);
    {
        calibrateFeederEncoders_t dialog;
        EXPECT_EQ(dialogId(&dialog), 147);
        EXPECT_EQ(windowText(&dialog), L"Calibrate Feeder Encoders");
        EXPECT_EQ(windowText(dlgItem(&dialog, 1121)), L"Test !");
        EXPECT_EQ(windowText(dlgItem(&dialog, 1122)), L"Test !");
        device.clearSent();
        scriptedMessageBox_t boxes;
        boxes.expect(feederEncoderTest_t::noMediaText, MB_OK, IDOK);
        dlgItemAs<QPushButton>(&dialog, 1121)->click();
        EXPECT_EQ(boxes.shown().size(), 1u);
        EXPECT_TRUE(dlgItem(&dialog, 1121)->isEnabled());
        dlgItemAs<QPushButton>(&dialog, 2)->click();
        EXPECT_TRUE(device.codes().empty());
    }
    setCurrentClientDevice(nullptr);
}

// A simulated printer whose two feeder sensors are on for 29 and off for 71
// feeder steps of every 100 (7860 nm each).
class calibrateFeederEncodersServerWidgetTest : public prefixTest {
protected:
    void SetUp() override
    {
        simPrinterConfig_t printer;
        printer.actionMs = 0;
        printer.encoderPeriod = printer.rollPeriod = 100 * 7860;
        printer.encoderDuty = printer.rollDuty = 29;
        connected_.device()->recordEveryCaller();
        ASSERT_NO_FATAL_FAILURE(connected_.start(printer));
        server_ = connected_.server();
        device_ = connected_.device();
    }
    void TearDown() override { connected_.stop(); }

    connectedPrinter_t<testClientDev_t> connected_;
    wendaroServer_t* server_ = nullptr;
    testClientDev_t* device_ = nullptr;
};

// The whole conversation of each sensor's test: into state 5 as the window
// opens, the feeder homed and moved to the encoder's first edge, then one
// step to the next edge of the chosen sensor after another until the machine
// leaves state 5 (here at the third); Close then takes the machine out of
// state 5. On 29 and off 71 steps show "28%": the integer part of
// 29 / (29 + 71) x 100 taken in floating point.
TEST_F(calibrateFeederEncodersServerWidgetTest, EachSensorsTestSendsItsStepsAndShowsItsShare)
{
    using sent_t = std::vector<std::vector<std::uint8_t>>;
    const struct {
        int button;
        std::uint8_t maskLow, maskHigh;  // the sensor mask, little-endian
        int result;
        int otherResult;
    } cases[] = {{1121, 0x00, 0x01, 1119, 1120}, {1122, 0x10, 0x00, 1120, 1119}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        simPrinter_t& printer = server_->printer(1);
        simFaultRule_t paused;
        paused.code = 164;
        paused.skip = 3;
        paused.action = simFaultRule_t::action_e::replyType_e;
        paused.value = 12;
        printer.clearFaults();
        printer.addFault(paused);
        device_->setPollInterval(qvrCommDev_t::defaultPollInterval);
        ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 7; }));
        const std::size_t from = device_->sentCount();
        {
            calibrateFeederEncoders_t dialog;
            ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 5; }));
            // Without the device's polls the state it knows comes only from
            // the replies, so the machine leaves state 5 exactly at the step
            // that the printer answers as paused.
            device_->setPollInterval(0);
            dlgItemAs<QPushButton>(&dialog, c.button)->click();
            EXPECT_FALSE(dlgItem(&dialog, 1121)->isEnabled());
            EXPECT_FALSE(dlgItem(&dialog, 1122)->isEnabled());
            ASSERT_TRUE(processEventsUntil([&] {
                return !dialog.test().workerRunning() && !windowText(dlgItem(&dialog, c.result)).empty();
            }));
            EXPECT_EQ(windowText(dlgItem(&dialog, c.result)), L"28%");
            EXPECT_EQ(windowText(dlgItem(&dialog, c.otherResult)), L"");
            dlgItemAs<QPushButton>(&dialog, 2)->click();
        }
        const std::vector<std::uint8_t> step = {164, c.maskLow, c.maskHigh, 0, 0};
        const sent_t expected = {{4}, {146}, {1}, {130, 4}, {164, 0x00, 0x01, 0, 0}, step, step, step, {132}};
        EXPECT_EQ(device_->bytesSince(from), expected);
    }
}

// Close while the worker steps the feeder: the worker stops at once and the
// window's clean-up (132) takes the machine out of state 5. The link lost
// under the worker ends it by itself; a Close given while the link is down
// (here while the next connection waits for its first answer) sends
// nothing, neither now nor on that connection.
TEST_F(calibrateFeederEncodersServerWidgetTest, CloseWhileTheWorkerRunsOrTheLinkIsDown)
{
    using sent_t = std::vector<std::vector<std::uint8_t>>;
    const std::vector<std::uint8_t> step = {164, 0x00, 0x01, 0, 0};
    for (const bool linkLost : {false, true}) {
        SCOPED_TRACE(linkLost ? "link lost" : "link up");
        simPrinter_t& printer = server_->printer(1);
        printer.clearFaults();
        device_->setPollInterval(qvrCommDev_t::defaultPollInterval);
        ASSERT_TRUE(processEventsUntil([&] { return device_->isConnected() && device_->getMachineState() == 7; }));
        const std::size_t from = device_->sentCount();
        std::uint64_t traceFrom = 0;
        std::vector<std::uint32_t> before;  // the connections the drop ends
        {
            calibrateFeederEncoders_t dialog;
            ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 5; }));
            dlgItemAs<QPushButton>(&dialog, 1121)->click();
            ASSERT_TRUE(processEventsUntil([&] { return device_->sentCount() >= from + 7; }));
            if (linkLost) {
                // Without polls the next connection, once greeted, stays
                // without an answer: not connected, yet able to carry what
                // is queued.
                device_->setPollInterval(0);
                for (const auto& connection : server_->connections())
                    before.push_back(connection.id);
                droppedLink_t dropped(*server_);
                ASSERT_TRUE(processEventsUntil([&] { return !dialog.test().workerRunning(); }));
                ASSERT_TRUE(processEventsUntil([&] {
                    for (const auto& connection : server_->connections())
                        if (connection.machine != 0 &&
                            std::find(before.begin(), before.end(), connection.id) == before.end())
                            return true;
                    return false;
                }));
                EXPECT_FALSE(device_->isConnected());
                traceFrom = printer.trace().mark();
            }
            dlgItemAs<QPushButton>(&dialog, 2)->click();
            EXPECT_FALSE(dialog.test().workerRunning());
        }
        const sent_t sent = device_->bytesSince(from);
        ASSERT_GE(sent.size(), 6u);
        EXPECT_EQ(sent_t(sent.begin(), sent.begin() + 5), (sent_t{{4}, {146}, {1}, {130, 4}, {164, 0x00, 0x01, 0, 0}}));
        EXPECT_EQ(sent.back(), (std::vector<std::uint8_t>{132}));
        for (std::size_t i = 5; i + 1 < sent.size(); ++i)
            EXPECT_EQ(sent[i], step) << i;
        if (linkLost) {
            // On the new link the first command the printer gets is this one.
            device_->setPollInterval(qvrCommDev_t::defaultPollInterval);
            ASSERT_TRUE(processEventsUntil([&] { return device_->isConnected(); }));
            device_->sendCommand(147);
            ASSERT_TRUE(processEventsUntil([&] {
                for (const simTraceEntry_t& e : printer.trace().since(traceFrom))
                    if (e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code == 147)
                        return true;
                return false;
            }));
            // Over the new link only: what the dropped one carried may still
            // be traced after the mark.
            std::vector<int> codes;
            for (const simTraceEntry_t& e : printer.trace().since(traceFrom))
                if (e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code != 1 && e.code != 12 &&
                    std::find(before.begin(), before.end(), e.connection) == before.end())
                    codes.push_back(e.code);
            EXPECT_EQ(codes, std::vector<int>{147});
        }
    }
}
