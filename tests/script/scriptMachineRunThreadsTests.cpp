// Whole scripts on the simulated printer: a run's trace log and packets
// against literal expectations, a machine error, a machine that leaves
// the technician state or a lost link ending the run, and result logs
// holding measured values.
#include "platform/messageBoxHook.h"
#include "procedures/script/machineStopTest.h"
#include "procedures/script/resultLogTable.h"
#include "tests/script/scriptMachineSupport.h"
#include "tests/support/droppedLink.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

TEST_F(scriptMachineThreadsTest, AScriptDrivesTheMachineEndToEnd)
{
    const scriptRun_t run = runOnMachine(
        "// a technician's check of the head, the pen and the feeder\n"
        "{\n"
        "  homeX() homeZ()\n"
        "  moveXto(100)\n"
        "  moveZto(8) moveZby(-4)\n"
        "  loop 2 moveXby(10)\n"
        "  moveXYto(10, 20)\n"
        "  penDOWN() isPenDOWN() penUP() isPenUP()\n"
        "  micronsUnits()\n"
        "  FeedLayer(300)\n"
        "  valveDCon() valveDCoff()\n"
        "  clearX() isXhome()\n"
        "  errorNumber()\n"
        "}\n",
        machineStopTest(&device()));
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.trace, onDisk("homeX ( )  returns : 0\n"
                                "homeZ ( )  returns : 0\n"
                                "moveXto (100 )  returns : 100\n"
                                "moveZto (8 )  returns : 8\n"
                                "moveZby (-4 )  returns : 4\n"
                                "moveXby (10 )  returns : 110\n"
                                "moveXby (10 )  returns : 120\n"
                                "moveXYto (10 , 20 )  returns : 0\n"
                                "penDOWN ( )  returns : 0\n"
                                "isPenDOWN ( )  returns : 1\n"
                                "penUP ( )  returns : 0\n"
                                "isPenUP ( )  returns : 1\n"
                                "micronsUnits ( )  returns : 0\n"
                                "FeedLayer (300 )  returns : 300000\n"
                                "valveDCon ( )  returns : 0\n"
                                "valveDCoff ( )  returns : 0\n"
                                "clearX ( )  returns : 0\n"
                                "isXhome ( )  returns : 1\n"
                                "errorNumber ( )  returns : 0\n"));
    ASSERT_TRUE(flush());
    EXPECT_EQ(describe(commandsSince(0)),
              describe(std::vector<bytes_t>{
                  command(4), command(146),  // the device's batch preparation
                  command(130, {u8(0)}), command(130, {u8(2)}), command(129, {u8(0), i32(2189200)}),
                  command(129, {u8(2), i32(10000)}), command(128, {u8(2), i32(-5000)}),
                  command(128, {u8(0), i32(218920)}), command(128, {u8(0), i32(218920)}),
                  command(135, {i32(218920), i32(437840)}), command(150, {u8(1)}), command(147),
                  command(150, {u8(0)}), command(147), command(14, {i32(300000)}), command(144),
                  command(160, {u8(4), u8(4)}), command(160, {u8(0), u8(4)}), command(137, {u8(0), i32(0)}),
                  command(147), command(147)}));
}

TEST_F(scriptMachineThreadsTest, AMachineErrorOrStateChangeStopsTheRun)
{
    struct stopCase_t {
        const char* name;
        std::function<void()> prepare;
        const char* script;
        const char* error;
        const char* trace;  // nullptr: not compared
        std::vector<bytes_t> sent;
        // What the script's result log "stale.txt" holds after the run.
        const char* resultLog = nullptr;
    };
    // A message box during which the server drops the link and the device
    // makes a new one.
    const messageBoxHook_t dropLinkAndWait = [&](HWND, const std::wstring&, const std::wstring&, unsigned) {
        EXPECT_TRUE(droppedLink_t(server()).waitForNewLink(device(), machineId));
        return IDOK;
    };
    const auto waitDeviceError = [&](int number) {
        return waitUntil([&] { return device().getStatus().errorNumber() == number; }, 20s);
    };
    const stopCase_t cases[] = {
        // The move fails on the machine with error 28; the stop test after
        // the call sees it, and the run stops as the next call begins.
        {"error raised by a command",
         [&] {
             simFaultRule_t rule;
             rule.code = 129;
             rule.action = simFaultRule_t::action_e::failCommand_e;
             rule.value = 28;
             printer().addFault(rule);
         },
         "{ homeX() moveXto(100) homeZ() }", "EXECUTION INTERRUPTED BY STOP\n",
         "homeX ( )  returns : 0\n"
         "moveXto (100 )  returns : 0\n"
         "\nEXECUTION INTERRUPTED BY STOP\n\n",
         {command(130, {u8(0)}), command(129, {u8(0), i32(2189200)})}},
        // An open door makes the machine refuse the move with error 28.
        {"door opened", [&] { printer().setDoorOpen(true); }, "{ isDOORopen() moveXto(100) homeZ() }",
         "EXECUTION INTERRUPTED BY STOP\n",
         "isDOORopen ( )  returns : 1\n"
         "moveXto (100 )  returns : 0\n"
         "\nEXECUTION INTERRUPTED BY STOP\n\n",
         {command(147), command(129, {u8(0), i32(2189200)})}},
        // The error is there before the first call: that call still runs
        // (its command goes out) and the run ends right after it.
        {"error before the run",
         [&] {
             printer().setError(12);
             ASSERT_TRUE(waitDeviceError(12));
         },
         "{ homeX() homeZ() }", "BATCH execution INTERRUPTED\n", "\nBATCH execution INTERRUPTED\n\n",
         {command(130, {u8(0)})}},
        // Out of state 5 the call runs but sends nothing.
        {"machine left the technician state", [&] { ASSERT_TRUE(leaveTechnicianMode()); }, "{ homeX() homeZ() }",
         "BATCH execution INTERRUPTED\n", "\nBATCH execution INTERRUPTED\n\n", {}},
        // The server drops the link instead of passing homeZ on: the stored
        // status still says state 5, yet the run ends right after that call
        // and the move never goes out, not even on the next link.
        {"link lost during a command",
         [&] {
             wendaroFaultRule_t rule;
             rule.command = 130;
             rule.firstPayloadByte = 2;
             rule.action = wendaroFaultRule_t::action_e::closeBefore_e;
             server().faults().add(rule);
         },
         "{ homeX() homeZ() moveXto(100) }", "BATCH execution INTERRUPTED\n",
         "homeX ( )  returns : 0\n"
         "\nBATCH execution INTERRUPTED\n\n",
         {command(130, {u8(0)})}},
        // The link drops and is made again while homeZ's argument is read:
        // homeZ, already begun, runs but sends nothing on the new link.
        {"link lost and made again before a command", [&] { setMessageBoxHook(dropLinkAndWait); },
         "{ homeX() homeZ(messageBox()) }", "BATCH execution INTERRUPTED\n",
         "homeX ( )  returns : 0\n"
         "messageBox ( )  returns : 0\n"
         "\nBATCH execution INTERRUPTED\n\n",
         {command(130, {u8(0)})}},
        // The second measurement's link is lost: the height it returns is
        // the first one's, and no measurement, so the log stays empty.
        {"link lost during a measurement for a result log",
         [&] {
             printer().setTableZero(145000000);
             wendaroFaultRule_t rule;
             rule.command = 139;
             rule.skip = 1;
             rule.action = wendaroFaultRule_t::action_e::closeBefore_e;
             server().faults().add(rule);
         },
         "{ modelHeight() resultLog(\"stale.txt\") modelHeight() }", "BATCH execution INTERRUPTED\n",
         nullptr,  // the trace names the text by a handle that depends on earlier runs
         {command(139, {u8(1)})}, ""},
    };
    for (const stopCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const std::uint64_t from = mark();
        const scriptRun_t run = runOnMachine(c.script, machineStopTest(&device()));
        EXPECT_EQ(run.error, c.error);
        if (c.trace != nullptr) {
            EXPECT_EQ(run.trace, onDisk(c.trace));
        }
        // A command queued while the link is down is dropped when it is made
        // again: the flush waits for the link.
        ASSERT_TRUE(waitUntil([&] { return device().isConnected(); }, 30s));
        ASSERT_TRUE(flush());
        EXPECT_EQ(describe(commandsSince(from)), describe(c.sent));
        if (c.resultLog != nullptr) {
            EXPECT_EQ(readRawFile(L"stale.txt"), onDisk(c.resultLog));
        }

        // Back to a machine fit for the next case.
        setMessageBoxHook({});
        server().faults().clear();
        printer().clearFaults();
        printer().setDoorOpen(false);
        printer().clearError();
        ASSERT_TRUE(waitDeviceError(0));
        ASSERT_TRUE(enterTechnicianMode());
    }
}

TEST_F(scriptMachineThreadsTest, ResultLogsHoldTheMeasuredValues)
{
    // An empty table 0.9 mm below the height reference.
    printer().setTableZero(145000000);
    scriptRun_t run = runOnMachine("{\n"
                                   "  resultLog(\"heights.txt\") modelHeight()\n"
                                   "  moveXto(100)\n"
                                   "  resultLog(\"heights.txt\") moveXby(-50)\n"
                                   "  resultLog(\"pump.txt\") isPumpHome()\n"
                                   "  resultLog(\"errors.txt\") errorNumber()\n"
                                   "}\n",
                                   machineStopTest(&device()));
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(readRawFile(L"heights.txt"), onDisk("900000\n50\n"));
    EXPECT_EQ(readRawFile(L"pump.txt"), onDisk("1\n"));
    EXPECT_EQ(readRawFile(L"errors.txt"), onDisk("0\n"));

    // A run that the machine stops keeps what was measured before the stop,
    // but not the value of the call the machine failed; a name's first use
    // in a run empties its file.
    simFaultRule_t rule;
    rule.code = 130;
    rule.action = simFaultRule_t::action_e::failCommand_e;
    rule.value = 41;
    printer().addFault(rule);
    run = runOnMachine("{\n"
                       "  resultLog(\"heights.txt\") modelHeight()\n"
                       "  resultLog(\"heights.txt\") homeZ()\n"
                       "  resultLog(\"heights.txt\") moveXto(10)\n"
                       "}\n",
                       machineStopTest(&device()));
    EXPECT_EQ(run.error, "EXECUTION INTERRUPTED BY STOP\n");
    EXPECT_EQ(readRawFile(L"heights.txt"), onDisk("900000\n"));
    EXPECT_EQ(openResultLogCount(), 0u);
}
