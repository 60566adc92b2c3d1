// The manual-command gate: which commands go out ahead of a manual command
// in each machine state, and the refusal while the machine builds.
#include "machine/currentDevice.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/technician/technicianTestDevices.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct gateCase_t {
    int state;
    std::vector<int> sent;  // in order, the manual command 128 included
};

class ManualCommandGate : public ::testing::TestWithParam<gateCase_t> {
protected:
    void SetUp() override
    {
        setCurrentDevice(&device);
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }
    void TearDown() override { setCurrentDevice(nullptr); }

    testCommDev_t device;
};

TEST_P(ManualCommandGate, QueuesWhatTheStateNeeds)
{
    device.setMachineState(GetParam().state);
    tovrikApp().sendCommandIfReady(128, 1, 2, 4, -1000000);
    EXPECT_EQ(device.codes(), GetParam().sent) << "state " << GetParam().state;
    // The manual command keeps its typed arguments: axis byte, 32-bit distance.
    for (const packetBuffer_t& packet : device.packets()) {
        if (packet.u8(0) != 128)
            continue;
        ASSERT_EQ(packet.length(), 6);
        EXPECT_EQ(packet.u8(1), 2);
        EXPECT_EQ(packet.i32(2), -1000000);
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, ManualCommandGate,
    ::testing::Values(gateCase_t{0, {1, 128, 1, 12}}, gateCase_t{2, {128, 1, 12}},
                      gateCase_t{3, {1, 128, 1, 12}}, gateCase_t{4, {4, 1, 128, 1, 12}},
                      gateCase_t{5, {132, 1, 128, 1, 12}}, gateCase_t{6, {132, 4, 1, 128, 1, 12}},
                      gateCase_t{7, {4, 1, 128, 1, 12}}, gateCase_t{8, {1, 128, 1, 12}},
                      gateCase_t{11, {1, 128, 1, 12}}));

class ManualCommandGateRefusal : public ::testing::Test {
protected:
    void SetUp() override { setCurrentDevice(&device); }
    void TearDown() override
    {
        setCurrentDevice(nullptr);
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    testCommDev_t device;
};

TEST_F(ManualCommandGateRefusal, BuildingMachineWarnsOncePerPressAndQueuesNothing)
{
    for (const wchar_t* program : {L"\"C:\\Tovrik.exe\"", L"\"C:\\merolt_2.exe\""}) {
        tovrikApp().readCommandLine(program);
        device.setMachineState(1);
        scriptedMessageBox_t boxes;
        const expectedBox_t warning{L"This machine is building a model. Pause machine first.", false,
                                    tovrikApp().edition(), MB_ICONEXCLAMATION, IDOK};
        boxes.expect(warning).expect(warning);
        EXPECT_FALSE(tovrikApp().makeMachineReady());
        tovrikApp().sendCommandIfReady(135, 4, 1000, 4, 2000);
        EXPECT_TRUE(device.codes().empty());
        EXPECT_TRUE(device.getQueue().isEmpty());
        EXPECT_EQ(boxes.shown().size(), 2u);
        EXPECT_EQ(boxes.remaining(), 0u);
    }
}

TEST_F(ManualCommandGateRefusal, NoDeviceSendsNothing)
{
    setCurrentDevice(nullptr);
    EXPECT_FALSE(tovrikApp().makeMachineReady());
    tovrikApp().sendCommandIfReady(130, 1, 0);
    EXPECT_TRUE(device.codes().empty());
}

}  // namespace
