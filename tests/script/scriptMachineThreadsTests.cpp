// The machine built-ins against the simulated printer: the packets each one
// sends (codes, field widths, values; awaited or only queued), what it
// returns from the records after the reply, and what goes out when the
// machine is not in the technician state.
#include "procedures/script/batchRunState.h"
#include "procedures/script/unitConversion.h"
#include "tests/script/scriptMachineSupport.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct sent_t {
    bytes_t bytes;
    bool queued = false;
};

sent_t awaited(bytes_t bytes) { return {std::move(bytes), false}; }
sent_t queued(bytes_t bytes) { return {std::move(bytes), true}; }

std::vector<bytes_t> all(const std::vector<sent_t>& sent)
{
    std::vector<bytes_t> out;
    for (const sent_t& s : sent)
        out.push_back(s.bytes);
    return out;
}

std::vector<bytes_t> only(const std::vector<sent_t>& sent, bool wantQueued)
{
    std::vector<bytes_t> out;
    for (const sent_t& s : sent)
        if (s.queued == wantQueued)
            out.push_back(s.bytes);
    return out;
}

struct builtinCase_t {
    const char* units;  // "stepsUnits" or "micronsUnits"
    const char* call;
    std::vector<sent_t> sent;
    std::int32_t returns;
};

// Run in this order on one printer: each case starts where the one before
// left the axes. Step sizes: X, Y 21892 nm, Z 1250, Pump 2500, Feeder 7860.
std::vector<builtinCase_t> commandCases()
{
    const auto steps = "stepsUnits";
    const auto microns = "micronsUnits";
    return {
        {steps, "homeX()", {awaited(command(130, {u8(0)}))}, 0},
        {steps, "homeZ()", {awaited(command(130, {u8(2)}))}, 0},
        {steps, "homePump()", {awaited(command(130, {u8(3)}))}, 0},
        {steps, "homeFEEDER()", {awaited(command(130, {u8(4)}))}, 0},
        {steps, "moveXto(100)", {awaited(command(129, {u8(0), i32(2189200)}))}, 100},
        {steps, "moveYto(-50)", {awaited(command(129, {u8(1), i32(-1094600)}))}, -50},
        {steps, "moveZto(4000)", {awaited(command(129, {u8(2), i32(5000000)}))}, 4000},
        {steps, "moveFEEDERto(300)", {awaited(command(129, {u8(4), i32(2358000)}))}, 300},
        {steps, "movePumpTo(1000)", {awaited(command(129, {u8(3), i32(2500000)}))}, 1000},
        {steps, "movePumpBy(-400)", {awaited(command(128, {u8(3), i32(-1000000)}))}, 600},
        {steps, "moveXby(20)", {awaited(command(128, {u8(0), i32(437840)}))}, 120},
        {steps, "moveYby(-10)", {awaited(command(128, {u8(1), i32(-218920)}))}, -60},
        {steps, "moveZby(-4)", {awaited(command(128, {u8(2), i32(-5000)}))}, 3996},
        {steps, "moveFEEDERby(-100)", {awaited(command(128, {u8(4), i32(-786000)}))}, 200},
        {steps, "moveXYto(10, 20)", {awaited(command(135, {i32(218920), i32(437840)}))}, 0},
        {steps, "moveXYby(-5, 7)", {awaited(command(134, {i32(-109460), i32(153244)}))}, 0},
        // A missing argument reads 0; extra arguments are ignored.
        {steps, "moveXYto(1)", {awaited(command(135, {i32(21892), i32(0)}))}, 0},
        {steps, "homeX(7, 8)", {awaited(command(130, {u8(0)}))}, 0},
        {microns, "moveXYto(10, 20)", {awaited(command(135, {i32(10000), i32(20000)}))}, 0},
        {microns, "moveXto(7)", {awaited(command(129, {u8(0), i32(7000)}))}, 0},
        {steps, "clearX()", {awaited(command(137, {u8(0), i32(0)}))}, 0},
        {steps, "clearY()", {awaited(command(137, {u8(1), i32(0)}))}, 0},
        {steps, "clearZ()", {awaited(command(137, {u8(2), i32(0)}))}, 0},
        {steps, "clearPump()", {awaited(command(137, {u8(3), i32(0)}))}, 0},
        {steps, "clearFEEDER()", {awaited(command(137, {u8(4), i32(0)}))}, 0},
        {microns, "arc(10000, 0, 360)", {awaited(command(136, {i32(10000000), i16(0), i16(360)}))}, 0},
        // The angles keep their low 16 bits.
        {steps, "arc(1, -90, 65581)", {awaited(command(136, {i32(21892), i16(-90), i16(45)}))}, 0},
        {steps, "penDOWN()", {awaited(command(150, {u8(1)}))}, 0},
        {steps, "penUP()", {awaited(command(150, {u8(0)}))}, 0},
        // The fourth corner's y is -5000 + 20000 sin 180 deg, just above
        // -5000, truncated toward zero.
        {microns,
         "drawRectWithAngle(10, 20, 0, 0, 0, 0)",
         {awaited(command(135, {i32(0), i32(5000)})), awaited(command(150, {u8(1)})),
          awaited(command(135, {i32(20000), i32(5000)})), awaited(command(135, {i32(20000), i32(-5000)})),
          awaited(command(135, {i32(0), i32(-4999)})), awaited(command(135, {i32(0), i32(5000)})),
          awaited(command(150, {u8(0)}))},
         0},
        {microns, "FeedLayer(300)", {queued(command(14, {i32(300000)})), awaited(command(144))}, 300000},
        {steps,
         "FeedIronTrim(100)",
         {queued(command(14, {i32(786000)})), awaited(command(144)), awaited(command(142, {u8(1)})),
          awaited(command(143))},
         786000},
        {steps, "IronLayer()", {awaited(command(142, {u8(1)}))}, 0},
        {steps, "TrimLayer()", {awaited(command(143))}, 0},
        {steps, "hookIron()", {awaited(command(151, {u8(1)}))}, 0},
        {steps, "unhookIron()", {awaited(command(151, {u8(0)}))}, 0},
        // The tool number keeps its low 8 bits: 261 takes tool 5.
        {steps, "changeTOOL(261)", {awaited(command(140, {u8(5), u8(0)}))}, 0},
        {steps, "returnTOOL()", {awaited(command(141, {u8(0)}))}, 0},
        {steps, "valveDCon()", {queued(command(160, {u8(4), u8(4)}))}, 0},
        {steps, "valveDCoff()", {queued(command(160, {u8(0), u8(4)}))}, 0},
        {steps, "errorNumber()", {awaited(command(147))}, 0},
        {steps, "isPenUP()", {awaited(command(147))}, 1},
        {steps, "isPenDOWN()", {awaited(command(147))}, 0},
        {steps, "hasLowerMedia()", {awaited(command(147))}, 1},
        {steps, "isDOORopen()", {awaited(command(147))}, 0},
        {steps, "isDOORthrown()", {awaited(command(147))}, 0},
    };
}

}  // namespace

TEST_F(scriptMachineThreadsTest, EachBuiltinSendsItsCommandsAndReturnsTheRecordField)
{
    for (const builtinCase_t& c : commandCases()) {
        SCOPED_TRACE(c.call);
        const std::uint64_t from = mark();
        const scriptRun_t run =
            runOnMachine(std::string("{ ") + c.units + "() memory(0, " + c.call + ") }");
        // What was answered when the call returned: every awaited command.
        const std::vector<bytes_t> answered = answeredSince(from);
        ASSERT_TRUE(run.ok) << run.error;
        ASSERT_TRUE(flush());
        EXPECT_EQ(describe(commandsSince(from)), describe(all(c.sent)));
        EXPECT_EQ(describe(answered), describe(only(c.sent, false)));
        EXPECT_EQ(batchRunState_t::globalCells[0], c.returns);
        EXPECT_EQ(printer().errorNumber(), 0);
    }
}

TEST_F(scriptMachineThreadsTest, OutsideTheTechnicianStateOnlyQueuedCommandsGoOut)
{
    std::string script = "{\n";
    std::vector<bytes_t> expected;
    for (const builtinCase_t& c : commandCases()) {
        script += std::string(c.units) + "() " + c.call + "\n";
        for (const bytes_t& packet : only(c.sent, true))
            expected.push_back(packet);
    }
    script += "}\n";
    ASSERT_EQ(expected.size(), 4u);

    ASSERT_TRUE(leaveTechnicianMode());
    const std::uint64_t from = mark();
    const scriptRun_t run = runOnMachine(script);
    ASSERT_TRUE(run.ok) << run.error;
    ASSERT_TRUE(flush());
    EXPECT_EQ(describe(commandsSince(from)), describe(expected));
}

TEST_F(scriptMachineThreadsTest, SensorsReadTheirBitAfterAStatusRequest)
{
    struct sensorCase_t {
        const char* call;
        int bit;
    } cases[] = {
        {"isXhome()", 16},    {"isYhome()", 17},       {"isZhome()", 18},       {"isIRONhome()", 21},
        {"isPumpHome()", 24}, {"isFEEDERhome()", 3},   {"isIRONup()", 22},      {"hasLowerMedia()", 28},
        {"hasUpperMedia()", 3}, {"isROLLtooth()", 4}, {"isDOORthrown()", 20},
    };
    for (const sensorCase_t& c : cases) {
        for (bool on : {true, false}) {
            SCOPED_TRACE(std::string(c.call) + (on ? " on" : " off"));
            const std::uint32_t mask = 1u << c.bit;
            // Every other bit is forced the other way, so a wrong bit shows.
            printer().forceSensors(~mask, !on);
            printer().forceSensors(mask, on);
            const std::uint64_t from = mark();
            const scriptRun_t run = runOnMachine(std::string("{ memory(0, ") + c.call + ") }");
            ASSERT_TRUE(run.ok) << run.error;
            EXPECT_EQ(batchRunState_t::globalCells[0], on ? 1 : 0);
            EXPECT_EQ(describe(answeredSince(from)), describe(std::vector<bytes_t>{command(147)}));
        }
    }
    printer().releaseSensors(~0u);

    // The door, the pen and the error number.
    struct stateCase_t {
        const char* name;
        std::function<void(simPrinter_t&)> set;
        const char* script;
        std::int32_t cell0;
        std::int32_t cell1;
    } states[] = {
        {"door open", [](simPrinter_t& p) { p.setDoorOpen(true); }, "{ memory(0, isDOORopen()) }", 1, 0},
        {"door closed", [](simPrinter_t& p) { p.setDoorOpen(false); }, "{ memory(0, isDOORopen()) }", 0, 0},
        {"pen down", nullptr, "{ penDOWN() memory(0, isPenDOWN()) memory(1, isPenUP()) }", 1, 0},
        {"pen up", nullptr, "{ penUP() memory(0, isPenDOWN()) memory(1, isPenUP()) }", 0, 1},
        {"error 12", [](simPrinter_t& p) { p.setError(12); }, "{ memory(0, errorNumber()) }", -12, 0},
        {"error 255", [](simPrinter_t& p) { p.setError(255); }, "{ memory(0, errorNumber()) }", -255, 0},
        {"no error", [](simPrinter_t& p) { p.clearError(); }, "{ memory(0, errorNumber()) }", 0, 0},
    };
    for (const stateCase_t& c : states) {
        SCOPED_TRACE(c.name);
        batchRunState_t::globalCells[1] = 0;
        if (c.set)
            c.set(printer());
        const scriptRun_t run = runOnMachine(c.script);
        ASSERT_TRUE(run.ok) << run.error;
        EXPECT_EQ(batchRunState_t::globalCells[0], c.cell0);
        EXPECT_EQ(batchRunState_t::globalCells[1], c.cell1);
    }
}

TEST_F(scriptMachineThreadsTest, ToolsAndHeightComeFromTheRecords)
{
    // The machine information arrives with the device's own polls.
    ASSERT_TRUE(runOnMachine("{ changeTOOL(5) }").ok);
    ASSERT_TRUE(waitUntil([&] { return device().getCurrentTool() == 5; }, 20s));
    const std::uint64_t from = mark();
    ASSERT_TRUE(runOnMachine("{ memory(0, logicalTOOL()) memory(1, physicalTOOL()) }").ok);
    EXPECT_EQ(describe(answeredSince(from)), describe(std::vector<bytes_t>{command(147), command(147)}));
    EXPECT_EQ(batchRunState_t::globalCells[0], 5);
    EXPECT_EQ(batchRunState_t::globalCells[1], printer().info().physicalTool());
    EXPECT_NE(batchRunState_t::globalCells[1], 0);

    ASSERT_TRUE(runOnMachine("{ returnTOOL() }").ok);
    ASSERT_TRUE(waitUntil([&] { return device().getCurrentTool() == -1; }, 20s));
    ASSERT_TRUE(runOnMachine("{ memory(0, logicalTOOL()) memory(1, physicalTOOL()) }").ok);
    EXPECT_EQ(batchRunState_t::globalCells[0], -1);
    EXPECT_EQ(batchRunState_t::globalCells[1], 0);

    // An empty table 0.9 mm below the height reference.
    printer().setTableZero(145000000);
    ASSERT_TRUE(runOnMachine("{ memory(0, modelHeight()) }").ok);
    EXPECT_EQ(batchRunState_t::globalCells[0], 900000);
}

TEST_F(scriptMachineThreadsTest, ALengthOutOfRangeStopsTheRunBeforeAnythingIsSent)
{
    struct rangeCase_t {
        const char* script;
        const char* error;  // empty: the run ends normally
        std::vector<bytes_t> sent;
    } cases[] = {
        // 98094 steps of 21892 nm is the largest X length that fits.
        {"{ moveXto(98094) }", "", {command(129, {u8(0), i32(2147473848)})}},
        {"{ moveXto(98095) }", "length out of range\n", {}},
        {"{ moveXYto(10, -98095) }", "length out of range\n", {}},
        {"{ micronsUnits() moveZby(-2147484) }", "length out of range\n", {}},
        {"{ micronsUnits() FeedLayer(2147484) }", "length out of range\n", {}},
        {"{ micronsUnits() FeedIronTrim(-2147484) }", "length out of range\n", {}},
        {"{ micronsUnits() arc(2147484, 0, 90) }", "length out of range\n", {}},
        // Each side fits, the far corner does not: not even the first move
        // goes out.
        {"{ micronsUnits() drawRectWithAngle(10, 2000000, 0, 200000, 0, 0) }", "length out of range\n", {}},
        {"{ micronsUnits() drawRectWithAngle(10, 20, 0, 2147000, 0, 1000) }", "length out of range\n", {}},
    };
    for (const rangeCase_t& c : cases) {
        SCOPED_TRACE(c.script);
        setUnitMode(stepsUnits_e);
        const std::uint64_t from = mark();
        const scriptRun_t run = runOnMachine(c.script);
        EXPECT_EQ(run.error, c.error);
        ASSERT_TRUE(flush());
        EXPECT_EQ(describe(commandsSince(from)), describe(c.sent));
    }
}
