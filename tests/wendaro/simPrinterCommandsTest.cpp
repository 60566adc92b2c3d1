// The simulated printer at packet level: reply types, states, memory,
// records, faults and malformed packets.
#include "machine/littleEndian.h"
#include "machine/machineStatus.h"
#include "machine/paramImage.h"
#include "tests/support/tempPrefix.h"
#include "tests/wendaro/simTestPackets.h"

#include <gtest/gtest.h>

#include <span>

namespace {

class simPrinterTest : public prefixTest {
protected:
    simPrinter_t printer_{testConfig()};
};

struct commandCase_t {
    const char* name;
    pkt_t packet;
    int typeInReady;      // reply type in state 7
    int typeInTechnician; // reply type in state 5, after the action ran
};

// Every command code that the system sends, with a payload as its sender
// builds it.
std::vector<commandCase_t> everyCommand()
{
    return {
        {"status", pkt_t(1), 1, 1},
        {"write parameter", pkt_t(3).u16(115 * 4).i32(-2000000).u8(1).u8(0), 2, 2},
        {"gate", pkt_t(4), 2, 2},
        {"read chunk", pkt_t(5).u16(0).u16(60), 7, 7},
        {"write block", pkt_t(8).u8(0x84).u16(512).u16(512).u8(1).u8(2).u8(3).u8(4), 2, 2},
        {"layer record without build", pkt_t(10).u16(0), 2, 2},
        {"machine information", pkt_t(12), 11, 11},
        {"layer length", pkt_t(14).i32(90000000), 2, 2},
        {"command 15", pkt_t(15).u8(1), 2, 2},
        {"status reply", pkt_t(19), 13, 13},
        {"relative move", pkt_t(128).u8(2).i32(5000000), 2, 10},
        {"absolute move", pkt_t(129).u8(1).i32(80000000), 2, 10},
        {"pump at speed", pkt_t(129).u8(0x83).i32(0).u16(-800), 2, 2},
        {"home", pkt_t(130).u8(0), 2, 10},
        {"motor power", pkt_t(131).u8(2).u8(2), 2, 10},
        {"command 133", pkt_t(133), 2, 2},
        {"relative XY", pkt_t(134).i32(1000000).i32(1000000), 2, 10},
        {"absolute XY", pkt_t(135).i32(10000000).i32(20000000), 2, 10},
        {"arc", pkt_t(136).i32(10000000).u16(0).u16(360), 2, 10},
        {"set position", pkt_t(137).u8(3).i32(0), 2, 10},
        {"initialise", pkt_t(138), 2, 10},
        {"height", pkt_t(139).u8(1), 2, 10},
        {"take tool", pkt_t(140).u8(5).u8(0), 2, 10},
        {"return tool", pkt_t(141).u8(0), 2, 10},
        {"return tool, no payload", pkt_t(141), 2, 10},
        {"iron", pkt_t(142).u8(1), 2, 10},
        {"trim", pkt_t(143), 2, 10},
        {"feed", pkt_t(144), 2, 10},
        {"full cycle", pkt_t(145), 2, 10},
        {"sensor status", pkt_t(147), 10, 10},
        {"pen", pkt_t(150).u8(1), 2, 10},
        {"pen with line", pkt_t(150).u8(0).u8(3), 2, 10},
        {"hook", pkt_t(151).u8(1), 2, 10},
        {"command 152", pkt_t(152).u8(0), 2, 2},
        {"machine back", pkt_t(154), 2, 10},
        {"test model", pkt_t(155), 2, 10},
        {"build options", pkt_t(157).u8(0).u8(0).u8(0).u8(0).u8(0).u8(1), 2, 2},
        {"leave batch", pkt_t(158), 2, 2},
        {"search XY home", pkt_t(159), 2, 10},
        {"valve", pkt_t(160).u8(4).u8(4), 2, 2},
        {"un-feed", pkt_t(161), 2, 10},
        {"label", pkt_t(162).i32(32000000).i32(40850000).u8(100).u8(1).u8('4'), 2, 10},
        {"feeder step", pkt_t(164).i32(256), 2, 10},
        {"glue init", pkt_t(165), 2, 10},
        {"unknown", pkt_t(200), 2, 10},
    };
}

TEST_F(simPrinterTest, EveryCommandGetsItsReplyType)
{
    for (const commandCase_t& c : everyCommand()) {
        SCOPED_TRACE(c.name);
        {
            simPrinter_t printer(testConfig());
            const simReply_t reply = sendAndRun(printer, c.packet);
            ASSERT_TRUE(reply.isPacket());
            EXPECT_EQ(reply.type(), c.typeInReady);
            EXPECT_LE(reply.packet.size(), 64u);
        }
        {
            simPrinter_t printer(testConfig());
            enterTechnicianMode(printer);
            const simReply_t first = printer.handleCommand(c.packet);
            // Only the actions the client awaits wait for the clock.
            const int code = c.packet.bytes[0];
            EXPECT_EQ(first.isPending(), c.typeInTechnician == 10 && code != 147 && code != 155 && code != 200);
            simReply_t done = first;
            if (first.isPending()) {
                printer.advance(testConfig().actionMs);
                done = printer.pollReply(first.ticket);
            }
            ASSERT_TRUE(done.isPacket());
            EXPECT_EQ(done.type(), c.typeInTechnician);
            // Type 13 answers 19 and nothing else.
            EXPECT_EQ(done.type() == 13, c.packet.bytes[0] == 19);
        }
    }
}

TEST_F(simPrinterTest, ActionsAreRefusedWhereTheMachineCannotAct)
{
    struct case_t {
        const char* name;
        std::uint8_t state;
        std::uint8_t error;
        int expected;
    };
    const case_t cases[] = {
        {"building", 1, 0, 4}, {"initialising", 3, 0, 4}, {"asleep", 6, 0, 4},
        {"error in ready", 7, 30, 4}, {"error in technician mode", 5, 30, 10}, {"paused", 2, 0, 2},
        {"model end", 4, 0, 2}, {"check pen", 11, 0, 2},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        simPrinter_t printer(testConfig());
        printer.setState(c.state);
        printer.setError(c.error);
        const simReply_t reply = printer.handleCommand(pkt_t(129).u8(1).i32(80000000));
        ASSERT_TRUE(reply.isPacket());
        EXPECT_EQ(reply.type(), c.expected);
        printer.advance(1000);
        EXPECT_EQ(printer.position(simPrinter_t::y_e) == 80000000, c.expected == 2);
    }
}

TEST_F(simPrinterTest, TechnicianModeIsEnteredBy146AndLeftBy132)
{
    struct case_t {
        const char* name;
        std::uint8_t from;
        std::uint8_t after146;
        std::uint8_t after132;
    };
    const case_t cases[] = {
        {"ready", 7, 5, 7},       {"model end", 4, 5, 7},    {"paused", 2, 5, 2},
        {"building", 1, 1, 1},    {"asleep", 6, 6, 7},       {"kit replaced", 8, 8, 8},
        {"resume model", 10, 10, 10}, {"check pen", 11, 11, 11},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        simPrinter_t printer(testConfig());
        printer.setState(c.from);
        EXPECT_EQ(printer.handleCommand(pkt_t(146)).type(), 2);
        EXPECT_EQ(printer.machineState(), c.after146);
        EXPECT_EQ(printer.handleCommand(pkt_t(132)).type(), 2);
        EXPECT_EQ(printer.machineState(), c.after132);
    }

    // 146 waits for the actions already running; 158 leaves like 132.
    printer_.handleCommand(pkt_t(130).u8(0));
    printer_.handleCommand(pkt_t(146));
    EXPECT_EQ(printer_.machineState(), 7);
    printer_.advance(testConfig().actionMs);
    EXPECT_EQ(printer_.machineState(), 5);
    EXPECT_EQ(printer_.handleCommand(pkt_t(158)).type(), 2);
    EXPECT_EQ(printer_.machineState(), 7);
}

TEST_F(simPrinterTest, AnAwaitedMoveInTechnicianModeEndsWithType10)
{
    enterTechnicianMode(printer_);
    const simReply_t reply = printer_.handleCommand(pkt_t(129).u8(1).i32(80000000));
    ASSERT_TRUE(reply.isPending());
    // Polls meanwhile are answered at once and show the head not yet moved.
    EXPECT_EQ(printer_.handleCommand(pkt_t(1)).type(), 1);
    printer_.advance(testConfig().actionMs - 1);
    EXPECT_TRUE(printer_.pollReply(reply.ticket).isPending());
    printer_.advance(1);
    const simReply_t done = printer_.pollReply(reply.ticket);
    ASSERT_EQ(done.type(), 10);
    ASSERT_EQ(done.packet.size(), 61u);
    // 80 mm in Y steps of 21892 nm, rounded as the client rounds: 3654.
    EXPECT_EQ(payloadI16(done.packet, 30), 3654);
    EXPECT_EQ(done.packet[1 + 50], 5);
    // The ticket is spent.
    EXPECT_EQ(printer_.pollReply(reply.ticket).kind, simReply_t::kind_e::none_e);
}

TEST_F(simPrinterTest, Command19IsAnsweredOnlyOnceTheActionsHaveRun)
{
    EXPECT_EQ(printer_.handleCommand(pkt_t(19)).type(), 13);

    printer_.handleCommand(pkt_t(130).u8(0));
    printer_.handleCommand(pkt_t(154));
    const simReply_t reply = printer_.handleCommand(pkt_t(19));
    ASSERT_TRUE(reply.isPending());
    printer_.advance(testConfig().actionMs);
    EXPECT_TRUE(printer_.pollReply(reply.ticket).isPending());
    printer_.advance(testConfig().actionMs);
    const simReply_t done = printer_.pollReply(reply.ticket);
    ASSERT_EQ(done.type(), 13);
    // The reply shows both actions done: head at the machine's back.
    EXPECT_EQ(payloadI16(done.packet, 30), 17906);
}

TEST_F(simPrinterTest, AFullMemoryReadTakes69ChunksAndReturnsTheMemory)
{
    const parameterMemory_t memory = printer_.memory();
    std::vector<std::uint8_t> image(4096, 0xEE);
    int requests = 0;
    int offset = 0;
    for (;;) {
        const int end = std::min(offset + 60, 4096);
        const simReply_t reply = printer_.handleCommand(pkt_t(5).u16(offset).u16(end));
        ++requests;
        ASSERT_EQ(reply.type(), 7);
        const int count = reply.packet[1];
        ASSERT_EQ(le::getU16(&reply.packet[2]), offset);
        ASSERT_EQ(reply.packet.size(), 4u + count);
        std::copy(reply.packet.begin() + 4, reply.packet.end(), image.begin() + offset);
        if (offset + count == 4096)
            break;
        offset += count;
    }
    EXPECT_EQ(requests, 69);
    std::vector<std::uint8_t> expected(4096);
    le::wordsToBytes(memory.data(), memory.size(), expected.data());
    EXPECT_EQ(image, expected);
    // Word 0 is the machine ID; words 64-68 the step sizes.
    EXPECT_EQ(le::getU32(&image[0]), 7u);
    EXPECT_EQ(le::getU32(&image[64 * 4]), 21892u);

    struct bad_t {
        int start;
        int end;
    };
    for (const bad_t& bad : {bad_t{2, 62}, bad_t{60, 60}, bad_t{4080, 4100}, bad_t{0, 64}, bad_t{64, 0}}) {
        SCOPED_TRACE(bad.start);
        EXPECT_EQ(printer_.handleCommand(pkt_t(5).u16(bad.start).u16(bad.end)).type(), 4);
    }
}

TEST_F(simPrinterTest, WritesOfCommands3And8LandInTheMemory)
{
    // One word, marked opened: word 115 and bit 115 of the opened bitmap
    // (bit 19 of word 767).
    EXPECT_EQ(printer_.handleCommand(pkt_t(3).u16(115 * 4).i32(-2000000).u8(1).u8(1)).type(), 2);
    EXPECT_EQ(printer_.memoryWord(115), -2000000);
    EXPECT_NE(printer_.memoryWord(767) & (1 << 19), 0);
    // Not marked: the bitmap keeps its bit clear.
    EXPECT_EQ(printer_.memoryWord(766) & (1 << (87 - 64)), 0);
    printer_.handleCommand(pkt_t(3).u16(87 * 4).i32(30).u8(1).u8(0));
    EXPECT_EQ(printer_.memoryWord(87), 30);
    EXPECT_EQ(printer_.memoryWord(766) & (1 << (87 - 64)), 0);

    // The tool table in chunks of 56, 56 and 8 bytes, 0x80 on the last.
    std::vector<std::uint8_t> tools(120);
    for (std::size_t i = 0; i < tools.size(); ++i)
        tools[i] = static_cast<std::uint8_t>(i * 3 + 1);
    for (int p = 0; p < 120; p += 56) {
        const int n = std::min(56, 120 - p);
        pkt_t chunk(8);
        chunk.u8(n + (120 - p <= 56 ? 0x80 : 0)).u16(512).u16(512 + p);
        for (int i = 0; i < n; ++i)
            chunk.u8(tools[static_cast<std::size_t>(p + i)]);
        EXPECT_EQ(printer_.handleCommand(chunk).type(), 2);
    }
    const parameterMemory_t memory = printer_.memory();
    for (std::size_t i = 0; i < tools.size(); ++i)
        ASSERT_EQ(paramImage::getByte(std::span<const std::int32_t>(memory), 512 + i), tools[i]) << i;
    EXPECT_TRUE(printer_.trace()
                    .waitFor([](const simTraceEntry_t& e) { return e.note == "block written: offset 512, bytes 120"; },
                             std::chrono::milliseconds(0))
                    .has_value());
    int written = 0;
    for (const simEvent_t& event : printer_.takeEvents())
        written += event.kind == simEvent_t::kind_e::memoryWritten_e;
    EXPECT_EQ(written, 3);

    // Writes outside the memory change nothing.
    EXPECT_EQ(printer_.handleCommand(pkt_t(3).u16(4096).i32(1).u8(1).u8(0)).type(), 4);
    EXPECT_EQ(printer_.handleCommand(pkt_t(3).u16(6).i32(1).u8(1).u8(0)).type(), 4);
    EXPECT_EQ(printer_.handleCommand(pkt_t(8).u8(0x82).u16(4094).u16(4095).u8(1).u8(2)).type(), 4);
    EXPECT_EQ(printer_.memory(), memory);
}

TEST_F(simPrinterTest, MemoryLayoutFollowsTheEmbeddedVersion)
{
    const parameterMemory_t& defaults = getDefaultParameterTable();
    // 1120: the default record with the machine ID and the opened bits.
    const parameterMemory_t current = printer_.memory();
    EXPECT_EQ(current[0], 7);
    EXPECT_EQ(current[384 + 115], defaults[384 + 115]);
    EXPECT_EQ(current[160], defaults[160]);
    EXPECT_EQ(current[764], (1 << 23));
    EXPECT_EQ(current[765], (1 << (40 - 32)) | (1 << (41 - 32)) | (1 << (51 - 32)));
    EXPECT_EQ(current[767], 1 << (115 - 96));

    // 1119: the glue table in the full form (1392 bytes, 21 profiles) and no
    // factory block.
    simPrinterConfig_t config = testConfig();
    config.embeddedVersion = 1119;
    simPrinter_t old(config);
    const parameterMemory_t full = old.memory();
    EXPECT_EQ(full[160], 1392);
    EXPECT_EQ(full[161], 21);
    EXPECT_EQ(full[162], 90000000);
    EXPECT_EQ(full[508], 0);  // just past the 1392 bytes
    EXPECT_EQ(full[512], 0);  // where the factory tool table would be
    EXPECT_NE(defaults[512], 0);
    EXPECT_EQ(full[767], 1 << (115 - 96));
}

TEST_F(simPrinterTest, StatusAndMachineInformationAtTheirOffsets)
{
    enterTechnicianMode(printer_);
    sendAndRun(printer_, pkt_t(130).u8(0));
    sendAndRun(printer_, pkt_t(129).u8(2).i32(1250 * 100));
    sendAndRun(printer_, pkt_t(140).u8(4).u8(0));
    sendAndRun(printer_, pkt_t(150).u8(1));
    sendAndRun(printer_, pkt_t(151).u8(1));
    printer_.handleCommand(pkt_t(14).i32(90000000));
    sendAndRun(printer_, pkt_t(144));
    printer_.setTemperature(33);
    printer_.setError(21);

    const std::vector<std::uint8_t> s = printer_.handleCommand(pkt_t(1)).packet;
    ASSERT_EQ(s.size(), 61u);
    EXPECT_EQ(s[0], 1);
    const std::vector<std::uint8_t> id{7, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(s.begin() + 1, s.begin() + 5), id);
    EXPECT_EQ(payloadU32(s, 4), 100u);                  // Z steps
    // Sensors: hook home clear (hooked), X and Y home, 1 mm pen out of its
    // rack, feeder away from home, lower media.
    const std::uint32_t sensors = payloadU32(s, 8);
    EXPECT_EQ(sensors & 0x400u, 0u);
    EXPECT_EQ(sensors & (0x10000u | 0x20000u), 0x30000u);
    EXPECT_EQ(sensors & 0xE0u, 0x60u);
    EXPECT_EQ(sensors & 0x8u, 0u);
    EXPECT_NE(sensors & 0x10000000u, 0u);
    // Flags: XY axis, initialised, pen down, hooked, media, bit 13, warming
    // up (33 below the required 35).
    EXPECT_EQ(payloadU32(s, 12), 0x2u | 0x20u | 0x40u | 0x80u | 0x100u | 0x1000u | 0x2000u);
    EXPECT_EQ(payloadU32(s, 20), 90000000u);            // layer length
    EXPECT_EQ(payloadI16(s, 28), 0);                    // X
    EXPECT_EQ(payloadU32(s, 56), 11450u);               // feeder: 90 mm / 7860 nm
    EXPECT_EQ(s[1 + 48], 21);                           // error
    EXPECT_EQ(s[1 + 50], 5);                            // state
    // The system's own record reads the same bytes.
    machineStatus_t status;
    ASSERT_TRUE(status.assign(s.data() + 1, 60));
    EXPECT_EQ(status.machineID(), 7u);
    EXPECT_EQ(status.feederPosition(), 11450);
    EXPECT_TRUE(status.hasFlag(machineStatus_t::flagPenDown));

    const std::vector<std::uint8_t> i = printer_.handleCommand(pkt_t(12)).packet;
    ASSERT_EQ(i.size(), 53u);
    EXPECT_EQ(i[0], 11);
    EXPECT_EQ(i[1 + 4], 0x4C);  // 1100
    EXPECT_EQ(i[1 + 5], 0x04);
    EXPECT_EQ(i[1 + 6], 0x60);  // 1120
    EXPECT_EQ(i[1 + 7], 0x04);
    EXPECT_EQ(payloadU32(i, 8), 145900000u);            // Z height before any measuring
    EXPECT_EQ(i[1 + 30], 0x00);                         // motor word: all five powered
    EXPECT_EQ(i[1 + 31], 0x1F);
    EXPECT_EQ(i[1 + 32], 33);                           // temperature
    EXPECT_EQ(i[1 + 34], 1);                            // physical tool: location of tool 4
    EXPECT_EQ(i[1 + 35], 4);                            // logical tool

    printer_.clearError();
    sendAndRun(printer_, pkt_t(141).u8(0));
    EXPECT_EQ(printer_.handleCommand(pkt_t(12)).packet[1 + 35], 0xFF);  // -1: without tool
}

TEST_F(simPrinterTest, SensorsFollowTheMachine)
{
    struct case_t {
        const char* name;
        std::uint16_t hardware;
        bool door;
        std::uint32_t set;
        std::uint32_t clear;
    };
    const case_t cases[] = {
        {"door, machine type 1100", 1100, true, 0x1800u, 0x80000u},
        {"door, machine type 1000", 1000, true, 0x80000u, 0x1800u},
        {"door closed", 1100, false, 0u, 0x81800u},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        simPrinterConfig_t config = testConfig();
        config.hardwareRevision = c.hardware;
        simPrinter_t printer(config);
        printer.setDoorOpen(c.door);
        const std::uint32_t sensors = printer.status().sensorWord();
        EXPECT_EQ(sensors & c.set, c.set);
        EXPECT_EQ(sensors & c.clear, 0u);
    }

    // Media out: both media bits and the media flag go.
    printer_.setMedia(false);
    EXPECT_EQ(printer_.status().sensorWord() & (0x8u | 0x10000000u), 0u);
    EXPECT_FALSE(printer_.status().hasFlag(machineStatus_t::flagMediaPresent));
    // Forced bits win until released.
    printer_.forceSensors(0x100000u, true);
    EXPECT_NE(printer_.status().sensorWord() & 0x100000u, 0u);
    printer_.releaseSensors(0x100000u);
    EXPECT_EQ(printer_.status().sensorWord() & 0x100000u, 0u);
}

TEST_F(simPrinterTest, MachineActionsInTechnicianMode)
{
    enterTechnicianMode(printer_);
    // Homing sets the axis flags; power off clears them again.
    sendAndRun(printer_, pkt_t(130).u8(0));
    sendAndRun(printer_, pkt_t(130).u8(2));
    EXPECT_TRUE(printer_.status().hasFlag(machineStatus_t::flagXYAxis));
    EXPECT_TRUE(printer_.status().hasFlag(machineStatus_t::flagZAxis));
    sendAndRun(printer_, pkt_t(131).u8(2).u8(0));
    EXPECT_FALSE(printer_.status().hasFlag(machineStatus_t::flagZAxis));
    EXPECT_EQ(printer_.info().motorPowerWord(), 0x1B00);
    // Z unpowered: a move does nothing.
    sendAndRun(printer_, pkt_t(129).u8(2).i32(5000000));
    EXPECT_EQ(printer_.position(simPrinter_t::z_e), 0);

    // Height: the table top on an empty table, then over two layers.
    sendAndRun(printer_, pkt_t(131).u8(2).u8(2));
    sendAndRun(printer_, pkt_t(139).u8(1));
    EXPECT_EQ(printer_.info().zHeight(), 145900000);
    EXPECT_EQ(printer_.status().measuredHeight(), 0);
    EXPECT_NE(printer_.status().sensorWord() & 0x400000u, 0u);

    // Layer thickness from DZ Sensor-To-Iron: thinner as DZ rises.
    struct layer_t {
        std::int32_t dz;
        std::int64_t thickness;
    };
    std::int64_t stack = 0;
    for (const layer_t& layer : {layer_t{-2000000, 168000}, layer_t{-1800000, 162000}, layer_t{-2200000, 174000}}) {
        SCOPED_TRACE(layer.dz);
        printer_.handleCommand(pkt_t(3).u16(115 * 4).i32(layer.dz).u8(1).u8(0));
        printer_.handleCommand(pkt_t(14).i32(90000000));
        sendAndRun(printer_, pkt_t(144));
        sendAndRun(printer_, pkt_t(142).u8(1));
        sendAndRun(printer_, pkt_t(143));
        stack += layer.thickness;
        EXPECT_EQ(printer_.stackHeight(), stack);
        EXPECT_EQ(printer_.status().feederPosition(), 0);
    }
    sendAndRun(printer_, pkt_t(139).u8(1));
    EXPECT_EQ(printer_.info().zHeight(), 145900000 - stack);
    EXPECT_EQ(printer_.status().measuredHeight(), stack);

    // Tools: a pen leaves its rack; an unused tool is an error.
    sendAndRun(printer_, pkt_t(140).u8(6).u8(0));
    EXPECT_EQ(printer_.currentTool(), 6);
    EXPECT_EQ(printer_.status().sensorWord() & 0x20u, 0u);
    sendAndRun(printer_, pkt_t(140).u8(4).u8(0));
    EXPECT_NE(printer_.status().sensorWord() & 0x20u, 0u);
    EXPECT_EQ(printer_.status().sensorWord() & 0x80u, 0u);
    const simReply_t unused = sendAndRun(printer_, pkt_t(140).u8(2).u8(0));
    EXPECT_EQ(unused.packet[1 + 48], 32);
    printer_.clearError();

    // A missing pen stops the machine in "Check Pen"; RESUME goes back.
    printer_.setPenMissing(5, true);
    sendAndRun(printer_, pkt_t(140).u8(5).u8(0));
    EXPECT_EQ(printer_.machineState(), 11);
    printer_.pressResume();
    EXPECT_EQ(printer_.machineState(), 5);

    // The door stops every motion with error 28 unless "Machine Flags" bit 0.
    printer_.setDoorOpen(true);
    EXPECT_EQ(sendAndRun(printer_, pkt_t(154)).packet[1 + 48], 28);
    printer_.clearError();
    printer_.handleCommand(pkt_t(3).u16(120 * 4).i32(0xAA81).u8(1).u8(0));
    EXPECT_EQ(sendAndRun(printer_, pkt_t(154)).packet[1 + 48], 0);
    EXPECT_EQ(printer_.position(simPrinter_t::y_e), 392000000);
}

TEST_F(simPrinterTest, ToolsCalibrationFindsTheFactoryFirstTool)
{
    enterTechnicianMode(printer_);
    sendAndRun(printer_, pkt_t(131).u8(0).u8(2));
    sendAndRun(printer_, pkt_t(131).u8(1).u8(2));
    sendAndRun(printer_, pkt_t(130).u8(0));
    sendAndRun(printer_, pkt_t(131).u8(0).u8(0));
    sendAndRun(printer_, pkt_t(131).u8(1).u8(0));
    sendAndRun(printer_, pkt_t(140).u8(5).u8(1));
    sendAndRun(printer_, pkt_t(159));
    const machineInfo_t info = printer_.info();
    // 23.86228 mm and 384.64244 mm in steps of 21892 nm.
    EXPECT_EQ(info.xHeadSteps(), 1090);
    EXPECT_EQ(info.yHeadSteps(), 17570);
    EXPECT_TRUE(printer_.status().hasFlag(machineStatus_t::flagXYAxis));
}

TEST_F(simPrinterTest, FeederStepsGiveTheSensorDuty)
{
    for (int duty : {50, 30}) {
        SCOPED_TRACE(duty);
        simPrinterConfig_t config = testConfig();
        config.encoderDuty = duty;
        simPrinter_t printer(config);
        enterTechnicianMode(printer);
        sendAndRun(printer, pkt_t(130).u8(4));
        sendAndRun(printer, pkt_t(164).i32(256));
        // As the calibration dialog measures it.
        std::int32_t on = 0;
        std::int32_t off = 0;
        for (int i = 0; i < 6; ++i) {
            const std::int32_t before = printer.status().feederPosition();
            const simReply_t reply = sendAndRun(printer, pkt_t(164).i32(256));
            const std::int32_t delta = static_cast<std::int32_t>(payloadU32(reply.packet, 56)) - before;
            (payloadU32(reply.packet, 8) & 256u ? on : off) = delta;
        }
        ASSERT_GT(on + off, 0);
        EXPECT_NEAR(on * 100 / (on + off), duty, 1);
    }
}

TEST_F(simPrinterTest, MalformedPacketsAreAnsweredNeverFatal)
{
    EXPECT_EQ(printer_.handleCommand(nullptr, 0).kind, simReply_t::kind_e::malformed_e);
    const std::vector<std::uint8_t> empty;
    EXPECT_EQ(printer_.handleCommand(empty).kind, simReply_t::kind_e::malformed_e);

    struct queued_t {
        const char* name;
        std::vector<std::uint8_t> bytes;
        simReply_t::kind_e kind;
    };
    const queued_t queued[] = {
        {"status", {1, 1}, simReply_t::kind_e::packet_e},
        {"length too big", {3, 1}, simReply_t::kind_e::malformed_e},
        {"length too small", {1, 5, 0, 0, 60, 0}, simReply_t::kind_e::malformed_e},
        {"length only", {0}, simReply_t::kind_e::malformed_e},
    };
    for (const queued_t& q : queued) {
        SCOPED_TRACE(q.name);
        EXPECT_EQ(printer_.handleQueuedPacket(q.bytes.data(), q.bytes.size()).kind, q.kind);
    }

    struct case_t {
        const char* name;
        pkt_t packet;
        int ready;
        int technician;
    };
    const case_t cases[] = {
        {"code 0", pkt_t(0), 2, 10},
        {"code 2", pkt_t(2).u8(1), 2, 10},
        {"code 255", pkt_t(255), 2, 10},
        {"move too short", pkt_t(129).u8(1).u16(5), 4, 10},
        {"chunk request too short", pkt_t(5).u16(0), 4, 10},
        {"block count beyond the bytes", pkt_t(8).u8(0x85).u16(0).u16(0).u8(1), 4, 10},
        {"status with payload", pkt_t(1).u8(0), 4, 10},
        {"label text too long", pkt_t(162).i32(0).i32(0).u8(1).u8(60), 4, 10},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        simPrinter_t printer(testConfig());
        EXPECT_EQ(printer.handleCommand(c.packet).type(), c.ready);
        enterTechnicianMode(printer);
        EXPECT_EQ(printer.handleCommand(c.packet).type(), c.technician);
        EXPECT_EQ(printer.machineState(), 5);
    }

    // Noise in every state: any reply fits "RESP", nothing breaks.
    simRandom_t random(99);
    for (std::uint8_t state : {5, 7, 1, 2}) {
        simPrinter_t printer(testConfig());
        printer.setState(state);
        for (int i = 0; i < 3000; ++i) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(random.between(0, 70)));
            for (std::uint8_t& b : bytes)
                b = static_cast<std::uint8_t>(random.between(0, 255));
            if (!bytes.empty() && random.between(0, 1) == 0)
                bytes[0] = static_cast<std::uint8_t>(random.between(128, 165));
            const simReply_t reply = sendAndRun(printer, bytes);
            if (reply.isPacket()) {
                ASSERT_LE(reply.packet.size(), 64u);
            }
            if (random.between(0, 50) == 0)
                printer.clearError();
        }
    }
}

TEST_F(simPrinterTest, ScriptedFaults)
{
    struct case_t {
        const char* name;
        simFaultRule_t rule;
        pkt_t packet;
        simReply_t::kind_e kind;
        int type;
        std::uint8_t error;
    };
    auto rule = [](int code, simFaultRule_t::action_e action, int value) {
        simFaultRule_t r;
        r.code = code;
        r.action = action;
        r.value = value;
        return r;
    };
    using action_e = simFaultRule_t::action_e;
    const case_t cases[] = {
        {"19 withheld", rule(19, action_e::noReply_e, 0), pkt_t(19), simReply_t::kind_e::none_e, -1, 0},
        {"19 answered as a poll", rule(19, action_e::replyType_e, 1), pkt_t(19), simReply_t::kind_e::packet_e, 1, 0},
        {"awaited move answered 12", rule(129, action_e::replyType_e, 12), pkt_t(129).u8(1).i32(80000000),
         simReply_t::kind_e::packet_e, 12, 0},
        {"height check error", rule(139, action_e::setError_e, 30), pkt_t(139).u8(1), simReply_t::kind_e::packet_e,
         10, 30},
        {"move fails", rule(129, action_e::failCommand_e, 25), pkt_t(129).u8(1).i32(80000000),
         simReply_t::kind_e::packet_e, 10, 25},
        {"awaited move lost", rule(129, action_e::noReply_e, 0), pkt_t(129).u8(1).i32(80000000),
         simReply_t::kind_e::none_e, -1, 0},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        simPrinter_t printer(testConfig());
        enterTechnicianMode(printer);
        printer.addFault(c.rule);
        const std::int64_t yBefore = printer.position(simPrinter_t::y_e);
        const std::int64_t zBefore = printer.position(simPrinter_t::z_e);
        const simReply_t reply = sendAndRun(printer, c.packet);
        EXPECT_EQ(reply.kind, c.kind);
        EXPECT_EQ(reply.type(), c.type);
        EXPECT_EQ(printer.errorNumber(), c.error);
        if (c.error != 0) {
            EXPECT_EQ(printer.position(simPrinter_t::y_e), yBefore);
            EXPECT_EQ(printer.position(simPrinter_t::z_e), zBefore);
        }
        // A rule acts once by default.
        printer.clearError();
        EXPECT_EQ(sendAndRun(printer, c.packet).kind, simReply_t::kind_e::packet_e);
    }

    // A failed 146 leaves the machine out of state 5; the next one enters it.
    {
        simPrinter_t printer(testConfig());
        ASSERT_EQ(printer.machineState(), 7);
        printer.addFault(rule(146, action_e::failCommand_e, 0));
        EXPECT_EQ(sendAndRun(printer, pkt_t(146)).type(), 2);
        EXPECT_EQ(printer.machineState(), 7);
        EXPECT_EQ(sendAndRun(printer, pkt_t(146)).type(), 2);
        EXPECT_EQ(printer.machineState(), 5);
    }

    // skip and times: the third and fourth status polls are lost.
    simFaultRule_t polls = rule(1, action_e::noReply_e, 0);
    polls.skip = 2;
    polls.times = 2;
    printer_.addFault(polls);
    std::vector<bool> answered;
    for (int i = 0; i < 6; ++i)
        answered.push_back(printer_.handleCommand(pkt_t(1)).isPacket());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, false, true, true}));
}

TEST_F(simPrinterTest, FrontPanelStates)
{
    // PAUSE during an awaited action: reply 12, machine paused.
    enterTechnicianMode(printer_);
    const simReply_t pending = printer_.handleCommand(pkt_t(154));
    ASSERT_TRUE(pending.isPending());
    printer_.pressPause();
    EXPECT_EQ(printer_.pollReply(pending.ticket).type(), 12);
    EXPECT_EQ(printer_.machineState(), 2);
    printer_.pressResume();
    EXPECT_EQ(printer_.machineState(), 7);

    // Sleep after the idle time; 132 wakes (with warm-up when configured).
    printer_.handleCommand(pkt_t(3).u16(84 * 4).i32(1000).u8(1).u8(0));
    printer_.advance(999);
    EXPECT_EQ(printer_.machineState(), 7);
    printer_.advance(1);
    EXPECT_EQ(printer_.machineState(), 6);
    printer_.handleCommand(pkt_t(132));
    EXPECT_EQ(printer_.machineState(), 7);

    // Initialisation: 3 for its time, then 7 with the axes homed.
    EXPECT_EQ(printer_.handleCommand(pkt_t(138)).type(), 2);
    EXPECT_EQ(printer_.machineState(), 3);
    EXPECT_EQ(printer_.handleCommand(pkt_t(1)).packet[1 + 50], 3);
    printer_.advance(testConfig().initMs);
    EXPECT_EQ(printer_.machineState(), 7);
    EXPECT_EQ(printer_.status().flags() & 0x3Eu, 0x3Eu);

    // A power cycle without a build: initialising, then ready.
    printer_.powerCycle();
    EXPECT_EQ(printer_.machineState(), 3);
    EXPECT_FALSE(printer_.status().hasFlag(machineStatus_t::flagInitialised));
    printer_.advance(testConfig().initMs);
    EXPECT_TRUE(printer_.status().hasFlag(machineStatus_t::flagInitialised));
}

}  // namespace

// A server that stops taking events finds the newest 10000, in order, and
// the printer goes on keeping them once taken.
TEST_F(simPrinterTest, EventsNotTakenKeepTheNewestTenThousand)
{
    simPrinterConfig_t config = testConfig();
    config.writeLogs = false;  // one event per change of state, nothing else
    simPrinter_t printer(config);
    const int changes = 10005;
    for (int i = 0; i < changes; ++i)
        printer.setState(i % 2 == 0 ? 2 : 7);
    const std::vector<simEvent_t> events = printer.takeEvents();
    ASSERT_EQ(events.size(), 10000u);
    int wrong = 0;
    for (std::size_t k = 0; k < events.size(); ++k) {
        const std::wstring expected = (k + 5) % 2 == 0 ? L"7 -> 2" : L"2 -> 7";
        wrong += events[k].kind != simEvent_t::kind_e::stateChanged_e || events[k].text != expected;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(printer.takeEvents().empty());
    printer.setState(7);
    const std::vector<simEvent_t> after = printer.takeEvents();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].text, L"2 -> 7");
}
