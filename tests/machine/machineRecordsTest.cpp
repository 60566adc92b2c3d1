#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/textFileIo.h"
#include "platform/files.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/queueWindow.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>

namespace {

// A status record as the machine sends it (packet type 1), byte by byte.
const std::vector<std::uint8_t> statusBytes = {
    1,                                               // type
    0x0C, 0x00, 0x00, 0x00,                          //  0 machine ID 12
    0x60, 0xDA, 0xD9, 0xFF,                          //  4 Z -2500000
    0x08, 0x00, 0x08, 0x00,                          //  8 sensors: bits 3 and 19
    0x20, 0x22, 0x00, 0x00,                          // 12 flags: 5, 9, 13
    0xE8, 0x03, 0x00, 0x00,                          // 16 height 1000
    0x40, 0x90, 0x02, 0x00,                          // 20 layer length 168000
    0x80, 0xEE, 0x36, 0x00,                          // 24 elapsed 3600000 ms
    0xFB, 0xFF, 0x2C, 0x01, 0x07, 0x00,              // 28 X -5, Y 300, pump 7
    0x2A, 0x00,                                      // 34
    0x19, 0x00, 0x01, 0x00, 0x64, 0x00, 0x18, 0x00,  // 36 layers: current 25, first 1, last 100, records 24
    0x00, 0x00, 0x5A, 0x00,                          // 44, 46 remaining 90 minutes
    0x03, 0x00, 0x01, 0x03,                          // 48 error 3, 50 state 1, 51 activity 3
    0x00, 0x00, 0x00, 0x00,                          // 52
    0x15, 0xCD, 0x5B, 0x07,                          // 56 feeder 123456789
};

// Machine information (packet type 11).
const std::vector<std::uint8_t> infoBytes = {
    11,                                              // type
    0x00, 0x00, 0x00, 0x00,                          //  0
    0xE8, 0x03, 0x60, 0x04,                          //  4 hardware 1000, embedded 1120
    0xE0, 0x41, 0xB2, 0x08,                          //  8 Z height 145900000
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 12
    0x05, 0x00, 0x01, 0x00,                          // 24 running 65541 minutes
    0x00, 0x00, 0x00, 0x03,                          // 28, 30 motor word 0x0300
    0x23, 0x00, 0x04, 0xFF,                          // 32 temperature 35, 34 tool 4, 35 current -1
    0x9C, 0xFF, 0xC8, 0x00,                          // 36 X -100, 38 Y 200
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 40
};

packetBuffer_t statusWith(std::uint32_t id, std::uint8_t state, std::uint32_t flags = 1u << 5,
                          std::uint8_t type = 1)
{
    std::vector<std::uint8_t> bytes(61, 0);
    bytes[0] = type;
    le::putU32(&bytes[1], id);
    le::putU32(&bytes[1 + 12], flags);
    bytes[1 + 50] = state;
    return packetFrom(bytes);
}

std::vector<WPARAM> codesOf(const std::vector<postedMessage_t>& messages)
{
    std::vector<WPARAM> codes;
    for (const postedMessage_t& m : messages) {
        EXPECT_EQ(m.message, 1246u);
        codes.push_back(m.wParam);
    }
    return codes;
}

class machineRecordsTest : public prefixTest {
protected:
    // Handles one reply with nothing queued.
    static void receive(scriptedDevice_t& device, const packetBuffer_t& reply)
    {
        device.deliver(reply);
        device.step();
    }
    // A device whose link is up, with its first notification taken.
    static void bringLinkUp(scriptedDevice_t& device, queueWindow_t& window)
    {
        receive(device, statusWith(0, 7));
        window.takeAll();
    }
};

TEST_F(machineRecordsTest, StatusAndInformationFieldsFromTheMachinesBytes)
{
    scriptedDevice_t device;
    ASSERT_EQ(statusBytes.size(), 61u);
    ASSERT_EQ(infoBytes.size(), 53u);
    receive(device, packetFrom(statusBytes));
    receive(device, packetFrom(infoBytes));

    const machineStatus_t status = device.getStatus();
    EXPECT_EQ(status.machineID(), 12u);
    EXPECT_EQ(status.zPosition(), -2500000);
    EXPECT_EQ(status.sensorWord(), 0x00080008u);
    EXPECT_EQ(status.flags(), 0x2220u);
    EXPECT_EQ(status.measuredHeight(), 1000);
    EXPECT_EQ(status.layerLength(), 168000);
    EXPECT_EQ(status.elapsedMs(), 3600000u);
    EXPECT_EQ(status.xPosition(), -5);
    EXPECT_EQ(status.yPosition(), 300);
    EXPECT_EQ(status.pumpPosition(), 7);
    EXPECT_EQ(status.byte34(), 0x2A);
    EXPECT_EQ(status.currentLayer(), 25);
    EXPECT_EQ(status.firstLayer(), 1);
    EXPECT_EQ(status.lastLayer(), 100);
    EXPECT_EQ(status.layerRecordCount(), 24);
    EXPECT_EQ(status.remainingMinutes(), 90);
    EXPECT_EQ(status.errorNumber(), 3);
    EXPECT_EQ(status.machineState(), 1);
    EXPECT_EQ(status.activity(), 3);
    EXPECT_EQ(status.feederPosition(), 123456789);
    EXPECT_EQ(device.getMachineID(), 12u);
    EXPECT_EQ(device.getMachineState(), 1);
    EXPECT_TRUE(device.isBuilding());
    EXPECT_FALSE(device.isModelEnd());

    const machineInfo_t info = device.getMachineInfo();
    EXPECT_EQ(info.hardwareRevision(), 1000);
    EXPECT_EQ(info.embeddedVersion(), 1120);
    EXPECT_EQ(info.zHeight(), 145900000);
    EXPECT_EQ(info.runningMinutes(), 65541u);
    EXPECT_EQ(info.motorPowerWord(), 0x0300);
    EXPECT_EQ(info.temperature(), 35);
    EXPECT_EQ(info.physicalTool(), 4);
    EXPECT_EQ(device.getCurrentTool(), -1);
    EXPECT_EQ(info.xHeadSteps(), -100);
    EXPECT_EQ(info.yHeadSteps(), 200);
    // Hardware 1000 reads the door from sensor bit 19.
    EXPECT_TRUE(device.isDOORopen());
    EXPECT_TRUE(device.isEmbeddedVersionAtLeast1120());
    EXPECT_EQ(device.getStatusText(), L"Building...");
    EXPECT_EQ(device.getActivityText(), L"Ironing");
}

TEST_F(machineRecordsTest, ModelRecordFromPacketType8)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    bringLinkUp(device, window);
    std::vector<std::uint8_t> bytes(61, 0);
    bytes[0] = 8;
    le::putU32(&bytes[1 + 4], 168000);
    le::putU16(&bytes[1 + 38], 1999);
    const std::string name = "ABCDEFGHIJKLMNOPQ";  // 17 characters
    std::copy(name.begin(), name.end(), bytes.begin() + 1 + 42);
    bytes[1 + 59] = 'R';  // no terminator from the machine
    receive(device, packetFrom(bytes));
    const qvrHostModelInfo_t model = device.getModelInfo();
    EXPECT_EQ(model.layerThickness(), 168000);
    EXPECT_EQ(model.words[1], 1999);
    EXPECT_EQ(model.modelName(), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{120}));
}

TEST_F(machineRecordsTest, NotificationsCarryTheCommandInFlight)
{
    struct case_t {
        std::uint8_t type;
        WPARAM base;
    };
    for (const case_t& c : {case_t{2, 102}, case_t{4, 105}, case_t{5, 107}}) {
        SCOPED_TRACE(c.type);
        queueWindow_t window;
        scriptedDevice_t device(window.handle());
        bringLinkUp(device, window);
        device.sendCommandArgs(130, 1, 2);
        device.step();
        receive(device, packetFrom({c.type}));
        EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{c.base + (130u << 16)}));
        EXPECT_TRUE(device.getQueue().isEmpty());
        // With nothing in flight there is nothing to tell.
        receive(device, packetFrom({c.type}));
        EXPECT_TRUE(window.takeAll().empty());
        // Types without a handler here change nothing.
        receive(device, packetFrom({14}));
        receive(device, packetFrom({0}));
        EXPECT_TRUE(window.takeAll().empty());

        // Once the window is gone nothing is posted, and nothing fails.
        device.sendCommand(131);
        device.step();
        window.destroy();
        receive(device, packetFrom({c.type}));
        EXPECT_TRUE(window.takeAll().empty());
    }
}

TEST_F(machineRecordsTest, CheckPenStatePostsOnceOnEntryAndOnceOnLeaving)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    bringLinkUp(device, window);
    receive(device, statusWith(0, 11));
    receive(device, statusWith(0, 11));
    receive(device, statusWith(0, 7));
    receive(device, statusWith(0, 7));
    // No 111 yet: no machine information has arrived.
    EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{122, 123}));
    // A reset forgets the report: the next check-pen status posts again.
    receive(device, statusWith(0, 11));
    device.reset();
    receive(device, statusWith(0, 11));
    const std::vector<WPARAM> codes = codesOf(window.takeAll());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 122u), 2);
}

TEST_F(machineRecordsTest, MachineIdChanges)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    bringLinkUp(device, window);
    // The first ID: folders, no notification.
    receive(device, statusWith(5, 7));
    EXPECT_TRUE(window.takeAll().empty());
    EXPECT_TRUE(std::filesystem::is_directory(linuxPathOf(L"C:/QVR_Printers/5/Settings")));
    // Another machine: its folders, and notification 1.
    receive(device, statusWith(7, 7));
    EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{1}));
    EXPECT_TRUE(std::filesystem::is_directory(linuxPathOf(L"C:/QVR_Printers/7/History")));

    // A device that does not accept a first machine asks its loop to end.
    scriptedDevice_t refusing;
    refusing.acceptMachines = false;
    receive(refusing, statusWith(9, 7));
    EXPECT_TRUE(refusing.stopRequestEvent().isSet());
    EXPECT_FALSE(std::filesystem::exists(linuxPathOf(L"C:/QVR_Printers/9")));
}

TEST_F(machineRecordsTest, FirstMachineInformationLoadsTheMachinesParameters)
{
    const machineParam_t* waitBefore = parameterAt(15);
    ASSERT_NE(waitBefore, nullptr);
    {
        // A machine 12 seen before: its parameters file says 777.
        scriptedDevice_t earlier;
        receive(earlier, statusWith(12, 7));
        earlier.setParameterWord(15, 777);
        ASSERT_TRUE(earlier.saveParametersFile());
    }
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    bringLinkUp(device, window);
    receive(device, packetFrom(infoBytes));  // no machine ID yet: nothing
    EXPECT_TRUE(window.takeAll().empty());
    EXPECT_EQ(device.getParamValue(*waitBefore), waitBefore->defaultValue());

    receive(device, statusWith(12, 7));
    receive(device, packetFrom(infoBytes));
    EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{143, 151}));
    EXPECT_EQ(device.getParamValue(*waitBefore), 777);
    receive(device, packetFrom(infoBytes));
    receive(device, statusWith(12, 7));
    EXPECT_EQ(codesOf(window.takeAll()), (std::vector<WPARAM>{143, 111}));
    // The version is remembered for offline use.
    EXPECT_EQ(readRawFile(L"C:/QVR_Printers/12/Settings/EmbeddedVersion.txt"), std::optional<std::string>("1120\r\n"));
}

TEST_F(machineRecordsTest, ShortOrOversizedPacketsNeverReachPastTheirBytes)
{
    struct case_t {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> chunkPastPacket = {7, 60, 0, 0};
    chunkPastPacket.resize(40, 0xAB);  // says 60 bytes, carries 36
    const case_t cases[] = {
        {"status of 30 bytes", std::vector<std::uint8_t>(31, 1)},
        {"status reply of 59 bytes", [] {
             std::vector<std::uint8_t> b(60, 0x11);
             b[0] = 13;
             return b;
         }()},
        {"machine information of 51 bytes", [] {
             std::vector<std::uint8_t> b(52, 0x22);
             b[0] = 11;
             return b;
         }()},
        {"model record of 20 bytes", [] {
             std::vector<std::uint8_t> b(21, 0x33);
             b[0] = 8;
             return b;
         }()},
        {"chunk whose count runs past the packet", chunkPastPacket},
        {"chunk header cut short", {7, 4}},
        {"type byte only", {1}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        queueWindow_t window;
        scriptedDevice_t device(window.handle());
        receive(device, packetFrom(statusBytes));
        receive(device, packetFrom(infoBytes));
        device.requestParameterChunk(0);
        device.step();
        window.takeAll();
        const machineStatus_t status = device.getStatus();
        const machineInfo_t info = device.getMachineInfo();
        const qvrHostModelInfo_t model = device.getModelInfo();
        std::int32_t before[1024];
        device.getMachineParameterMemory(before);

        receive(device, packetFrom(c.bytes));
        EXPECT_EQ(device.getStatus(), status);
        EXPECT_EQ(device.getMachineInfo(), info);
        EXPECT_EQ(device.getModelInfo(), model);
        std::int32_t after[1024];
        device.getMachineParameterMemory(after);
        EXPECT_TRUE(std::equal(before, before + 1024, after));
        EXPECT_TRUE(window.takeAll().empty());
        // The request in flight is still closed (a type-13 reply answers only command 19).
        EXPECT_EQ(device.getQueue().isEmpty(), c.bytes[0] != 13);
    }
}

TEST_F(machineRecordsTest, ChunkPastTheEndOfTheStoreWritesOnlyInsideIt)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    device.requestParameterChunk(4080);
    device.step();
    std::vector<std::uint8_t> reply = {7, 60, 0xF0, 0x0F};
    for (int i = 0; i < 60; ++i)
        reply.push_back(static_cast<std::uint8_t>(i + 1));
    receive(device, packetFrom(reply));
    std::int32_t copy[1024];
    device.getMachineParameterMemory(copy);
    EXPECT_EQ(copy[1020], static_cast<std::int32_t>(0x04030201));
    EXPECT_EQ(copy[1023], static_cast<std::int32_t>(0x100F0E0D));
    EXPECT_FALSE(device.isParameterReadActive());
    const std::vector<WPARAM> codes = codesOf(window.takeAll());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 108u), 1);
}

TEST_F(machineRecordsTest, StatusAndActivityTexts)
{
    constexpr std::uint32_t initialised = 1u << 5;
    constexpr std::uint32_t warming = 1u << 12;
    constexpr std::uint32_t ended = 1u << 14;
    struct case_t {
        std::uint8_t state;
        std::uint32_t flags;
        bool fileLoading;
        const wchar_t* text;
    };
    const case_t cases[] = {
        {11, 0, false, L"Check Pen"},
        {7, 0, false, L"Not Initialized"},
        {0, initialised, false, L"Unknown"},
        {12, initialised, false, L"Unknown"},
        {1, initialised, false, L"Building..."},
        {1, initialised | ended | warming, false, L"Model End"},
        {6, initialised | warming, false, L"Warming Up..."},
        {6, initialised, false, L"Sleep Mode"},
        {7, initialised, false, L"Ready"},
        {7, initialised, true, L"Loading..."},
        {2, initialised | ended, false, L"Paused"},
        {3, initialised, false, L"Initializing..."},
        {4, initialised, false, L"Model End"},
        {5, initialised | warming, false, L"Technician Mode"},
        {8, initialised, false, L"Kit Replaced?"},
        {9, initialised, false, L"Trim Layer?"},
        {10, initialised, false, L"Resume Model"},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.state);
        scriptedDevice_t device;
        EXPECT_EQ(device.getStatusText(), L"Not Connected");
        if (c.fileLoading) {
            fileInfo_t file;
            file.values[fileInfo_t::presentIndex] = 1;
            device.setFileInfoForTest(file);
        }
        receive(device, statusWith(0, c.state, c.flags));
        EXPECT_EQ(device.getStatusText(), c.text);
    }

    struct activity_t {
        std::uint8_t state, activity;
        std::uint8_t tool;
        const wchar_t* text;
    };
    const activity_t activities[] = {
        {7, 1, 0, L"Not Building"}, {1, 1, 0, L"Feeding"},          {1, 2, 0, L"Delaying"},
        {1, 3, 0, L"Ironing"},      {1, 5, 0, L"Trimming"},         {1, 4, 11, L"Using tool 11"},
        {1, 6, 0, L"Using tool 0"}, {1, 9, 12, L"Building"},        {1, 9, 0xFF, L"Building"},
    };
    for (const activity_t& a : activities) {
        scriptedDevice_t device;
        std::vector<std::uint8_t> status = bytesOf(statusWith(0, a.state));
        status[1 + 51] = a.activity;
        std::vector<std::uint8_t> info(53, 0);
        info[0] = 11;
        info[1 + 35] = a.tool;
        receive(device, packetFrom(status));
        receive(device, packetFrom(info));
        EXPECT_EQ(device.getActivityText(), a.text);
    }
}

TEST_F(machineRecordsTest, BuildTimeEstimate)
{
    struct case_t {
        const char* name;
        std::int32_t estimate, threshold;
        std::uint32_t flags;
        std::int32_t remaining, total, percent;
    };
    // Layers 25 of 1 to 100, one hour built, the machine reckons 90 minutes.
    const case_t cases[] = {
        {"the server's estimate", 10000, 95, 0, 6400, 10000, 25},
        {"estimate already passed", 3000, 95, 0, 5400, 9000, 25},
        {"threshold reached", 10000, 20, 0, 5400, 9000, 25},
        {"model ended", 10000, 101, 1u << 14, 5400, 9000, 100},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedDevice_t device;
        std::vector<std::uint8_t> bytes = statusBytes;
        le::putU32(&bytes[1 + 12], le::getU32(&bytes[1 + 12]) | c.flags);
        receive(device, packetFrom(bytes));
        device.setTimeEstimateForTest(c.estimate, c.threshold);
        std::int32_t total = -1, percent = -1;
        EXPECT_EQ(device.getBuildTimeEstimate(&total, &percent), c.remaining);
        EXPECT_EQ(total, c.total);
        EXPECT_EQ(percent, c.percent);
        EXPECT_EQ(device.getBuildTimeEstimate(nullptr, nullptr), c.remaining);
    }
}

TEST_F(machineRecordsTest, EmbeddedVersionFromTheRecordElseTheFile)
{
    const machineParam_t* zSpeed = parameterAt(16);  // default 116, factory block 17
    ASSERT_NE(zSpeed, nullptr);
    struct case_t {
        const char* name;
        std::uint16_t reported;
        std::optional<std::string> file;
        bool atLeast1120;
    };
    const case_t cases[] = {
        {"nothing known", 0, std::nullopt, true},
        {"file says 1032", 0, "1032\r\n", false},
        {"file says 1120", 0, "1120\r\n", true},
        {"file without a number", 0, "x\r\n", false},
        {"machine reports 1119", 1119, "1120\r\n", false},
        {"machine reports 2050", 2050, "1032\r\n", true},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        tempPrefix_t prefix;
        scriptedDevice_t device;
        receive(device, statusWith(12, 7));
        if (c.file) {
            ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/12/Settings/EmbeddedVersion.txt", *c.file));
        }
        if (c.reported != 0) {
            std::vector<std::uint8_t> info(53, 0);
            info[0] = 11;
            le::putU16(&info[1 + 6], c.reported);
            receive(device, packetFrom(info));
        }
        EXPECT_EQ(device.isEmbeddedVersionAtLeast1120(), c.atLeast1120);
        EXPECT_EQ(device.getFactoryValue(*zSpeed), c.atLeast1120 ? 17 : 116);
    }
}

TEST_F(machineRecordsTest, VersionFileIsReadAgainWhenItChanges)
{
    tempPrefix_t prefix;
    scriptedDevice_t device;
    receive(device, statusWith(12, 7));
    const std::wstring file = L"C:/QVR_Printers/12/Settings/EmbeddedVersion.txt";
    ASSERT_TRUE(writeRawFile(file, "1032\r\n"));
    EXPECT_FALSE(device.isEmbeddedVersionAtLeast1120());
    EXPECT_FALSE(device.isEmbeddedVersionAtLeast1120());
    // A newer session replaced the file, as the device itself does.
    ASSERT_TRUE(replaceTextFile(file, "1120\n"));
    EXPECT_TRUE(device.isEmbeddedVersionAtLeast1120());
    ASSERT_TRUE(deleteFile(file));
    EXPECT_TRUE(device.isEmbeddedVersionAtLeast1120());
    ASSERT_TRUE(writeRawFile(file, "1119\r\n"));
    EXPECT_FALSE(device.isEmbeddedVersionAtLeast1120());
    // Another machine on the link: its own folder's file decides.
    receive(device, statusWith(13, 7));
    ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/13/Settings/EmbeddedVersion.txt", "2050\r\n"));
    EXPECT_TRUE(device.isEmbeddedVersionAtLeast1120());
}

TEST_F(machineRecordsTest, MessageTexts)
{
    scriptedDevice_t device;
    const messageTable_t& messages = device.getMessages();
    EXPECT_EQ(messages.text(0), "INVALID STRING");
    EXPECT_EQ(messages.text(89), "INVALID STRING");
    EXPECT_EQ(messages.text(1), "READY");
    EXPECT_EQ(messages.text(9), "MODEL COMPLETED. OPEN DOOR AND SELECT LIFT MODEL");
    EXPECT_EQ(messages.text(37), "NO MEDIA");
    EXPECT_EQ(messages.text(39), "NO MEDIA");
    EXPECT_EQ(messages.text(50), "TERMOMETER FAILURE");
    EXPECT_EQ(messages.text(88), "CHECK KNIFE");
    EXPECT_EQ(device.getMessageText(58), L"<-- GO BACK");
    EXPECT_EQ(device.getMessageText(89), L"Unknown");
    EXPECT_EQ(device.getMessageText(-1), L"Unknown");
    for (int code = 1; code <= 88; ++code) {
        EXPECT_FALSE(messages.text(code).empty()) << code;
        EXPECT_LT(messages.text(code).size(), 50u) << code;
    }
    // The table binds page 0 of the shared buffer; no other page exists.
    EXPECT_EQ(bindPage(0), messageTextBuffer());
    EXPECT_EQ(bindPage(1), nullptr);
}

}  // namespace
