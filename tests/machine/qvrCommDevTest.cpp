#include "machine/globalNames.h"
#include "platform/ticks.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/queueWindow.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

packetBuffer_t statusPacket(std::uint32_t id, std::uint8_t state, std::uint8_t type = 1)
{
    std::vector<std::uint8_t> bytes(61, 0);
    bytes[0] = type;
    le::putU32(&bytes[1], id);
    bytes[1 + 50] = state;
    return packetFrom(bytes);
}

int countOf(const std::vector<postedMessage_t>& messages, WPARAM code)
{
    return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                          [&](const postedMessage_t& m) { return m.wParam == code; }));
}

class qvrCommDevTest : public prefixTest {
protected:
    void SetUp() override { ticksForTests::setManual(100000); }
    void TearDown() override { ticksForTests::setAutomatic(); }
};

TEST_F(qvrCommDevTest, OnePacketInFlightAndTheDuplicateRule)
{
    scriptedDevice_t device;
    device.sendCommand(1);
    device.sendCommandArgs(130, 1, 2);
    for (int i = 0; i < 20; ++i)
        device.step();
    // Nothing answers: the front stays in flight and nothing else leaves.
    ASSERT_EQ(device.sentPackets().size(), 1u);
    EXPECT_EQ(bytesOf(device.sentPackets()[0]), (std::vector<std::uint8_t>{1, 1}));
    EXPECT_EQ(bytesOf(device.queuedPackets()[1]), (std::vector<std::uint8_t>{2, 130, 2}));

    // Status requests: one may wait behind the one in flight, a third is refused.
    device.sendCommand(1);
    device.sendCommand(1);
    device.sendCommand(1);
    EXPECT_EQ(device.getQueue().count(), 3);
}

TEST_F(qvrCommDevTest, RepliesCloseTheirRequestOrSendItAgain)
{
    struct case_t {
        const char* name;
        std::uint8_t command;
        packetBuffer_t reply;
        bool closes;
        std::uint8_t stateAfter;  // from a dispatched status
    };
    const case_t cases[] = {
        {"status for 19: dispatched, 19 again", 19, statusPacket(0, 7, 1), false, 7},
        {"13 for 19 closes it", 19, statusPacket(0, 5, 13), true, 5},
        {"13 for a status request: dispatched, request again", 1, statusPacket(0, 6, 13), false, 6},
        {"status for a status request", 1, statusPacket(0, 4, 1), true, 4},
        {"empty reply closes without dispatch", 1, packetBuffer_t(64), true, 0},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedDevice_t device;
        device.sendCommand(c.command);
        device.step();
        ASSERT_EQ(device.sentPackets().size(), 1u);
        device.deliver(c.reply);
        device.step();
        EXPECT_EQ(device.getMachineState(), c.stateAfter);
        EXPECT_EQ(device.getQueue().isEmpty(), c.closes);
        EXPECT_EQ(device.mismatches.load(), c.closes ? 0 : 1);
        EXPECT_EQ(device.sentPackets().size(), c.closes ? 1u : 2u);
        if (!c.closes) {
            EXPECT_EQ(device.sentPackets()[1], device.sentPackets()[0]);
        }
        // A handled reply with bytes means the link is up; an empty one says nothing.
        EXPECT_EQ(device.isConnected(), c.reply.length() > 0);
    }
}

TEST_F(qvrCommDevTest, PollsEvery350MsWithCommand12OnEveryThirdPoll)
{
    scriptedDevice_t device;
    fakeMachine_t machine;
    device.setResponder([&](const packetBuffer_t& sent) { return machine.respond(sent); });
    device.onStart();
    device.pumpUntilIdle();
    device.onTick();  // 100000 ms since the stamp 0: the first poll
    device.pumpUntilIdle();
    for (int poll = 0; poll < 5; ++poll) {
        ticksForTests::advance(349);
        device.onTick();
        device.pumpUntilIdle();
        ticksForTests::advance(1);
        device.onTick();
        device.pumpUntilIdle();
    }
    EXPECT_EQ(device.sentCodes(), (std::vector<int>{1, 12, 1, 1, 1, 12, 1, 1, 1, 12}));

    device.clearSent();
    device.setPollInterval(0);  // no polling
    ticksForTests::advance(5000);
    device.onTick();
    device.pumpUntilIdle();
    EXPECT_TRUE(device.sentPackets().empty());
}

TEST_F(qvrCommDevTest, ReplyTimeOutsByLinkAndMachineState)
{
    struct case_t {
        bool connected;
        std::uint8_t machineState;
        std::uint32_t timeout;
    };
    for (const case_t& c : {case_t{false, 0, 2000}, case_t{true, 7, 5000}, case_t{true, 5, 60000}}) {
        SCOPED_TRACE(c.timeout);
        scriptedDevice_t device;
        device.setPollInterval(0);
        if (c.connected) {
            device.deliver(statusPacket(0, c.machineState));
            device.step();
            ASSERT_TRUE(device.isConnected());
        }
        device.sendCommand(130);
        device.step();  // sent now
        for (int expected = 1; expected <= 3; ++expected) {
            ticksForTests::advance(c.timeout);
            device.step();  // the latest input wait
            device.onTick();
            EXPECT_EQ(device.linkTimeouts.load(), expected - 1);
            ticksForTests::advance(1);
            device.step();
            device.onTick();
            EXPECT_EQ(device.linkTimeouts.load(), expected);
        }
        // The request stays queued; nothing else was sent.
        EXPECT_EQ(device.sentPackets().size(), 1u);
        EXPECT_EQ(device.getQueue().count(), 1);
    }
}

TEST_F(qvrCommDevTest, TimeOutIsMeasuredUpToTheLatestInputWait)
{
    scriptedDevice_t device;
    device.setPollInterval(0);
    device.sendCommand(130);
    device.step();
    ticksForTests::advance(10000);
    // No pass of the loop looked for input since the send: nothing fires.
    device.onTick();
    EXPECT_EQ(device.linkTimeouts.load(), 0);
    device.step();
    device.onTick();
    EXPECT_EQ(device.linkTimeouts.load(), 1);
}

TEST_F(qvrCommDevTest, WholeMemoryReadTakes69Chunks)
{
    queueWindow_t window;
    scriptedDevice_t device(window.handle());
    fakeMachine_t machine;
    for (std::size_t i = 0; i < machine.memory.size(); ++i)
        machine.memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
    device.setResponder([&](const packetBuffer_t& sent) { return machine.respond(sent); });
    device.requestParameters();
    device.pumpUntilIdle();

    const std::vector<int> codes = device.sentCodes();
    EXPECT_EQ(codes.size(), 69u);
    EXPECT_TRUE(std::all_of(codes.begin(), codes.end(), [](int code) { return code == 5; }));
    EXPECT_EQ(bytesOf(device.sentPackets().front()), (std::vector<std::uint8_t>{5, 5, 0x00, 0x00, 0x3C, 0x00}));
    EXPECT_EQ(bytesOf(device.sentPackets().back()), (std::vector<std::uint8_t>{5, 5, 0xF0, 0x0F, 0x00, 0x10}));

    std::int32_t copy[1024];
    device.getMachineParameterMemory(copy);
    for (int w = 0; w < 1024; ++w)
        ASSERT_EQ(copy[w], le::getI32(&machine.memory[static_cast<std::size_t>(4 * w)])) << "word " << w;
    EXPECT_FALSE(device.isParameterReadActive());
    const auto messages = window.messages();
    EXPECT_EQ(countOf(messages, 108), 1);
    EXPECT_EQ(countOf(messages, 109), 69);
}

TEST_F(qvrCommDevTest, ARestartDuringAReadWaitsForTheNextChunk)
{
    scriptedDevice_t device;
    fakeMachine_t machine;
    device.requestParameterChunk(0);
    device.requestParameterChunk(0);  // deferred: nothing more is queued
    EXPECT_EQ(device.getQueue().count(), 1);
    device.step();
    // A write during the read asks for a restart too.
    const std::uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    device.writeParameterBlock(128, 8, block);

    device.deliver(*machine.respond(device.sentPackets().back()));
    device.step();
    // The chunk for 0 answered the first request; the read starts again from 0
    // instead of going on with 60.
    std::vector<std::vector<std::uint8_t>> queued;
    for (const packetBuffer_t& p : device.queuedPackets())
        queued.push_back(bytesOf(p));
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0][1], 8);
    EXPECT_EQ(queued[1], (std::vector<std::uint8_t>{5, 5, 0x00, 0x00, 0x3C, 0x00}));
}

TEST_F(qvrCommDevTest, AnInterruptedOrMisalignedReadDoesNotBlockTheNextOne)
{
    struct case_t {
        const char* name;
        std::function<void(scriptedDevice_t&)> interrupt;
    };
    const case_t cases[] = {
        {"link reset after the first chunk went out", [](scriptedDevice_t& d) { d.reset(); }},
        {"chunk at an offset that is no multiple of 4",
         [](scriptedDevice_t& d) {
             d.deliver(packetFrom({7, 4, 2, 0, 1, 2, 3, 4}));
             d.step();
         }},
        {"chunk whose count runs past the packet",
         [](scriptedDevice_t& d) {
             d.deliver(packetFrom({7, 60, 0, 0, 1, 2, 3, 4}));
             d.step();
         }},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedDevice_t device;
        device.requestParameters();
        device.step();
        c.interrupt(device);
        EXPECT_FALSE(device.isParameterReadActive());
        device.clearSent();
        device.requestParameterChunk(0);
        device.pumpUntilIdle();
        ASSERT_EQ(device.sentPackets().size(), 1u);
        EXPECT_EQ(bytesOf(device.sentPackets()[0]), (std::vector<std::uint8_t>{5, 5, 0, 0, 60, 0}));
    }
}

TEST_F(qvrCommDevTest, BlockWriteGoesOutIn56ByteChunks)
{
    scriptedDevice_t device;
    std::uint8_t block[120];
    for (int i = 0; i < 120; ++i)
        block[i] = static_cast<std::uint8_t>(200 - i);
    device.writeParameterBlock(128, 120, block);
    const std::vector<packetBuffer_t> packets = device.queuedPackets();
    ASSERT_EQ(packets.size(), 3u);
    struct expected_t {
        std::vector<std::uint8_t> header;
        int first, count;
    };
    const expected_t expected[] = {
        {{62, 8, 56, 0x00, 0x02, 0x00, 0x02}, 0, 56},
        {{62, 8, 56, 0x00, 0x02, 0x38, 0x02}, 56, 56},
        {{14, 8, 0x88, 0x00, 0x02, 0x70, 0x02}, 112, 8},
    };
    for (std::size_t k = 0; k < 3; ++k) {
        const std::vector<std::uint8_t> bytes = bytesOf(packets[k]);
        ASSERT_EQ(bytes.size(), expected[k].header.size() + static_cast<std::size_t>(expected[k].count));
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 7), expected[k].header);
        EXPECT_TRUE(std::equal(bytes.begin() + 7, bytes.end(), block + expected[k].first));
    }
    // The bytes land in the current memory as well.
    std::int32_t memory[1024];
    device.getParameterMemory(memory);
    EXPECT_EQ(memory[128], static_cast<std::int32_t>(le::getU32(block)));
    EXPECT_EQ(memory[157], static_cast<std::int32_t>(le::getU32(block + 116)));

    // A block that would reach past the store is cut at its end.
    scriptedDevice_t edge;
    edge.writeParameterBlock(1020, 120, block);
    const std::vector<packetBuffer_t> edgePackets = edge.queuedPackets();
    ASSERT_EQ(edgePackets.size(), 1u);
    EXPECT_EQ(edgePackets[0].u8(2), 0x80 + 16);
}

TEST_F(qvrCommDevTest, SendingAllParametersSendsEveryDescriptorThenTheTables)
{
    scriptedDevice_t device;
    device.sendAllParameters();
    std::vector<int> parameterIndices;
    std::vector<std::pair<int, int>> blocks;  // chunk offset, count byte
    for (const packetBuffer_t& p : device.queuedPackets()) {
        if (p.u8(1) == 3) {
            parameterIndices.push_back(p.u16(2) / 4);
            EXPECT_EQ(p.u8(8), 0);  // the flag byte of a bulk send
        } else {
            ASSERT_EQ(p.u8(1), 8);
            blocks.emplace_back(p.u16(5), p.u8(2));
        }
    }
    // Indices 1 to 127 without 53; never the machine number.
    ASSERT_EQ(parameterIndices.size(), 126u);
    EXPECT_EQ(parameterIndices.front(), 1);
    EXPECT_EQ(parameterIndices.back(), 127);
    EXPECT_EQ(std::count(parameterIndices.begin(), parameterIndices.end(), 53), 0);
    // The tool table (120 bytes at 512), then the default glue table in the
    // compact form (696 bytes at 640).
    ASSERT_EQ(blocks.size(), 3u + 13u);
    EXPECT_EQ(blocks[0], std::make_pair(512, 56));
    EXPECT_EQ(blocks[2], std::make_pair(624, 0x80 + 8));
    EXPECT_EQ(blocks[3], std::make_pair(640, 56));
    EXPECT_EQ(blocks[15], std::make_pair(640 + 12 * 56, 0x80 + 24));
}

TEST_F(qvrCommDevTest, CommandPacketsAsTheMachineReadsThem)
{
    struct case_t {
        const char* name;
        std::function<void(scriptedDevice_t&)> send;
        std::vector<std::uint8_t> queued;
    };
    const case_t cases[] = {
        {"typed arguments (1, 0)", [](scriptedDevice_t& d) { d.sendCommandArgs(140, 1, 0x104, 0, 77); },
         {2, 140, 0x04}},
        {"typed arguments (2, 4)", [](scriptedDevice_t& d) { d.sendCommandArgs(129, 2, 0x10203, 4, -2); },
         {7, 129, 0x03, 0x02, 0xFE, 0xFF, 0xFF, 0xFF}},
        {"one parameter", [](scriptedDevice_t& d) { d.sendParameter(15, 600, 1, false); },
         {9, 3, 60, 0, 0x58, 0x02, 0, 0, 1, 0}},
        {"command 15", [](scriptedDevice_t& d) { d.sendByteCommand15(3); }, {2, 15, 3}},
        {"text label",
         [](scriptedDevice_t& d) {
             packetBuffer_t payload(64);
             qvrCommDev_t::appendTextPayload(payload, 1000, -1, 5, L"A\u00B5");
             d.sendCommand(162, &payload);
         },
         {13, 162, 0xE8, 0x03, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 5, 2, 'A', 0xB5}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedDevice_t device;
        c.send(device);
        const std::vector<packetBuffer_t> packets = device.queuedPackets();
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(bytesOf(packets[0]), c.queued);
    }

    packetBuffer_t payload(64);
    qvrCommDev_t::appendTextPayload(payload, 0, 0, 1, std::wstring(52, L'x'));
    EXPECT_EQ(payload.length(), 62);
    payload.clear();
    qvrCommDev_t::appendTextPayload(payload, 0, 0, 1, std::wstring(53, L'x'));
    EXPECT_EQ(payload.length(), 0);
}

TEST_F(qvrCommDevTest, Command133IsRefusedWhileBuildingOrPaused)
{
    struct case_t {
        std::uint8_t state;
        std::uint32_t flags;
        bool sent;
    };
    for (const case_t& c : {case_t{7, 0, true}, case_t{2, 0, false}, case_t{1, 1u << 9, false}}) {
        scriptedDevice_t device;
        packetBuffer_t status = statusPacket(0, c.state);
        std::vector<std::uint8_t> bytes = bytesOf(status);
        le::putU32(&bytes[1 + 12], c.flags);
        device.deliver(packetFrom(bytes));
        device.step();
        EXPECT_EQ(device.requestCommand133(), c.sent);
        EXPECT_EQ(device.getQueue().count(), c.sent ? 1 : 0);
    }
}

}  // namespace
