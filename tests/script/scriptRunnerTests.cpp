// The runner around the calls: the stop protocol, result logs, counters and
// the trace log.
#include "platform/beep.h"
#include "procedures/script/batchRunContext.h"
#include "procedures/script/resultLogTable.h"
#include "tests/script/scriptTestSupport.h"
#include "tests/support/scriptedMessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A stop test that finds the machine unfit at one moment: before the call of
// a given name, or after the call whose trace text starts with it.
struct stopAt_t {
    std::string before;
    std::string after;
    std::vector<std::string> seen;

    batchStopTest_t test()
    {
        return [this](int line, const char* text) {
            seen.push_back(std::to_string(line) + ":" + text);
            std::string t(text);
            if ((!before.empty() && t == before) || (!after.empty() && t.rfind(after, 0) == 0 && t != after)) {
                batchRunState_t::requestStop();
                return false;
            }
            return true;
        };
    }
};

}  // namespace

TEST_F(scriptTest, UnfitBeforeACallLetsItRunThenInterrupts)
{
    stopAt_t stop;
    stop.before = "b";
    scriptRun_t result = run("{ a(1)\n  b(2)\n  c(3) }", stop.test());
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "BATCH execution INTERRUPTED\n");
    // b still ran (its command would have gone out), but was not traced.
    EXPECT_EQ(result.out, "a (1 )\nb (2 )\n");
    EXPECT_EQ(result.trace, onDisk("a (1 )  returns : 1\n\nBATCH execution INTERRUPTED\n\n"));
    EXPECT_EQ(stop.seen, (std::vector<std::string>{"0:a", "0:a (1 )  returns : 1\n", "1:b"}));
}

TEST_F(scriptTest, UnfitAfterACallStopsTheNextOne)
{
    stopAt_t stop;
    stop.after = "a (";
    scriptRun_t result = run("{ a(1) b(2) }", stop.test());
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "EXECUTION INTERRUPTED BY STOP\n");
    EXPECT_EQ(result.out, "a (1 )\n");
    EXPECT_EQ(result.trace, onDisk("a (1 )  returns : 1\n\nEXECUTION INTERRUPTED BY STOP\n\n"));
}

TEST_F(scriptTest, UnfitAfterTheLastCallEndsNormally)
{
    stopAt_t stop;
    stop.after = "a (";
    scriptRun_t result = run("{ memory(0, 1) a(1) memory(0, 2) }", stop.test());
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(batchRunState_t::globalCells[0], 2);
}

TEST_F(scriptTest, LoopWithoutCallsStopsAtItsNextRound)
{
    // Without the check in loops this script would never end.
    int rounds = 0;
    auto test = [&rounds](int line, const char* text) {
        EXPECT_EQ(line, 1);
        EXPECT_STREQ(text, "while");
        if (++rounds == 1000) {
            batchRunState_t::requestStop();
            return false;
        }
        return true;
    };
    scriptRun_t result = run("{ memory(0, 0)\n while 1 { memory(0, memory(0) + 1) } }", test);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "EXECUTION INTERRUPTED BY STOP\n");
    EXPECT_EQ(batchRunState_t::globalCells[0], 999);
    EXPECT_EQ(result.trace, onDisk("\nEXECUTION INTERRUPTED BY STOP\n\n"));
}

TEST_F(scriptTest, StopFlagIsClearedAtTheStartOfARun)
{
    batchRunState_t::requestStop();
    scriptRun_t result = run("{ a(1) }");
    EXPECT_TRUE(result.ok) << result.error;
}

TEST_F(scriptTest, ResultLogsReceiveTheNextCallsValue)
{
    scriptRun_t result = run("{ resultLog(\"A.txt\") show(5) show(6)\n"
                             "  resultLog(\"A.txt\") f(g(7), 8)\n"
                             "  resultLog(\"Z.txt\") resultLog() show(9)\n"
                             "  resultLog(\"B.txt\") resultLog(\"C.txt\") show(10) show(11)\n"
                             "  resultLog(1234) show(12) }");
    ASSERT_TRUE(result.ok) << result.error;
    // The nested call completes first; a cancelled selection writes
    // nothing; a second selection takes the first's value (0).
    EXPECT_EQ(readRawFile(L"A.txt"), onDisk("5\n7\n"));
    EXPECT_EQ(readRawFile(L"Z.txt"), "");
    EXPECT_EQ(readRawFile(L"B.txt"), onDisk("0\n"));
    EXPECT_EQ(readRawFile(L"C.txt"), "");
    EXPECT_EQ(openResultLogCount(), 0u);
    EXPECT_FALSE(resultLogPending());

    // The next run empties a log at its first use.
    ASSERT_TRUE(run("{ resultLog(\"A.txt\") show(1) }").ok);
    EXPECT_EQ(readRawFile(L"A.txt"), onDisk("1\n"));
}

TEST_F(scriptTest, ResultLogsAreClosedWhenARunFails)
{
    scriptRun_t result = run("{ resultLog(\"D.txt\") show(1 / 0) }");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(openResultLogCount(), 0u);
    EXPECT_FALSE(resultLogPending());
    EXPECT_EQ(readRawFile(L"D.txt"), "");
}

TEST_F(scriptTest, CountersWriteToTheTraceLog)
{
    scriptRun_t result = run("{ printCounterEvery(1, 2) increaseCounter(1) increaseCounter(1) increaseCounter(1)\n"
                             "  increaseCounter(1) increaseCounter(7) increaseCounter(7) printCounterEvery(8, -5)\n"
                             "  increaseCounter(8) increaseCounter(8) resetCounter(7) increaseCounter(7) }");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.trace, onDisk("printCounterEvery (1 , 2 )  returns : 0\n"
                                   "increaseCounter (1 )  returns : 0\n"
                                   "Counter #1 = 2\n"
                                   "increaseCounter (1 )  returns : 0\n"
                                   "increaseCounter (1 )  returns : 0\n"
                                   "Counter #1 = 4\n"
                                   "increaseCounter (1 )  returns : 0\n"
                                   "increaseCounter (7 )  returns : 0\n"
                                   "Counter #7 = 2\n"
                                   "increaseCounter (7 )  returns : 0\n"
                                   "printCounterEvery (8 , -5 )  returns : 0\n"
                                   "Counter #8 = 1\n"
                                   "increaseCounter (8 )  returns : 0\n"
                                   "Counter #8 = 2\n"
                                   "increaseCounter (8 )  returns : 0\n"
                                   "resetCounter (7 )  returns : 0\n"
                                   "Counter #7 = 1\n"
                                   "increaseCounter (7 )  returns : 0\n"));
}

TEST_F(scriptTest, SleepIsShortenedByAStop)
{
    // Found unfit before the sleep: the sleep ends at once and the run ends
    // after it.
    stopAt_t stop;
    stop.before = "sleepMsec";
    auto started = std::chrono::steady_clock::now();
    scriptRun_t result = run("{ sleepMsec(600000) }", stop.test());
    EXPECT_EQ(result.error, "BATCH execution INTERRUPTED\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

TEST_F(scriptTest, CurrentContextIsSetWhileARunLasts)
{
    batchRunContext_t* seen = nullptr;
    batchRunContext_t context(nullptr, scriptPath);
    ASSERT_TRUE(writeRawFile(scriptPath, "{ a(1) }"));
    coutCapture_t capture;
    context.run([&seen](int, const char*) {
        seen = batchRunContext_t::current();
        return true;
    });
    EXPECT_EQ(seen, &context);
    EXPECT_EQ(batchRunContext_t::current(), nullptr);
}

TEST_F(scriptTest, PauseBoxAndBeep)
{
    scriptedMessageBox_t boxes;
    boxes.expect(expectedBox_t{L"Batch is paused. Press any key to continue.", false, std::wstring(L"Dorvanel Batch Parser"),
                               MB_OK | MB_ICONINFORMATION, IDOK});
    int beeps = 0;
    setBeepHook([&beeps] { ++beeps; });
    scriptRun_t result = run("{ messageBox() beep() beep() }");
    setBeepHook({});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(beeps, 2);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].owner, HWND{0});
    EXPECT_EQ(result.trace, onDisk("messageBox ( )  returns : 0\nbeep ( )  returns : 0\nbeep ( )  returns : 0\n"));
}
