#include "procedures/batches/qvrFileBatch.h"
#include "procedures/script/batchRunContext.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using stage_t = std::pair<int, int>;
constexpr const wchar_t* scriptPath = L"C:/scripts/procedure.txt";

std::vector<stage_t> stageMessages(const std::vector<postedMessage_t>& messages)
{
    std::vector<stage_t> posted;
    for (const postedMessage_t& message : messages)
        if (message.message == baseStaticBatch_t::stageMessage)
            posted.emplace_back(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
    return posted;
}

}  // namespace

class qvrFileBatchThreadsTest : public batchMachineThreadsTest {
protected:
    std::vector<stage_t> runScript(qvrFileBatch_t& batch, const std::string& source)
    {
        EXPECT_TRUE(writeRawFile(scriptPath, source));
        batch.setOwnerWindow(window_.handle());
        batch.execute();
        return stageMessages(window_.takeAll());
    }
    queueWindow_t window_;
};

TEST_F(qvrFileBatchThreadsTest, ScriptRunsAsOneStage)
{
    struct case_t {
        const char* script;
        int machineError;    // set as command 129 arrives; 0 none
        bool errorBox;       // "Error in batch!" expected
        std::vector<stage_t> posted;
        std::vector<int> commands;
    } cases[] = {
        {"{ homeZ() moveZto(100) }", 0, false, {{0, 3}, {0, 0}, {1, -1}}, {130, 129}},
        {"{ memory(0, }", 0, true, {{0, 3}, {0, 1}}, {}},
        {"{ homeZ() moveZto(100) homeZ() }", 9, false, {{0, 3}, {0, 1}}, {130, 129}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.script);
        ASSERT_TRUE(enterTechnicianMode());
        printer().clearError();
        ASSERT_TRUE(waitUntil([&] { return device().getStatus().errorNumber() == 0; }, 20s));
        if (c.machineError != 0) {
            simFaultRule_t rule;
            rule.code = 129;
            rule.action = simFaultRule_t::action_e::setError_e;
            rule.value = c.machineError;
            printer().addFault(rule);
        }
        scriptedMessageBox_t boxes;
        if (c.errorBox)
            boxes.expect(expectedBox_t{L"", true, std::wstring(L"Error in batch!"), MB_OK | MB_ICONWARNING, IDOK});
        qvrFileBatch_t batch(L"Target Test", scriptPath);
        const std::uint64_t from = mark();
        EXPECT_EQ(runScript(batch, c.script), c.posted);
        printer().clearFaults();
        EXPECT_EQ(codesSince(from), c.commands);
        EXPECT_EQ(batch.stage(0).name, L"Target Test");
        EXPECT_EQ(batchRunContext_t::current(), nullptr);
        const std::vector<shownBox_t> shown = boxes.shown();
        ASSERT_EQ(shown.size(), c.errorBox ? 1u : 0u);
        if (c.errorBox) {
            EXPECT_EQ(shown[0].owner, 0u);
            EXPECT_FALSE(shown[0].text.empty());
        }
    }
}

TEST_F(qvrFileBatchThreadsTest, SecondScriptWhileOneRunsLeavesItsStageInProgress)
{
    batchRunContext_t other(&device(), L"C:/scripts/other.txt");
    batchRunContext_t::setCurrent(&other);
    qvrFileBatch_t batch(L"Custom", scriptPath);
    const std::uint64_t from = mark();
    const std::vector<stage_t> posted = runScript(batch, "{ homeZ() }");
    // The refused run leaves the running script's context in place.
    EXPECT_EQ(batchRunContext_t::current(), &other);
    batchRunContext_t::setCurrent(nullptr);
    EXPECT_EQ(posted, (std::vector<stage_t>{{0, 3}}));
    EXPECT_EQ(codesSince(from), std::vector<int>{});
}

// The window closing ends a script that never leaves a loop without calls,
// and one that sleeps, at once and not when the machine leaves state 5.
TEST_F(qvrFileBatchThreadsTest, ClosingStopsAScriptThatWouldRunOn)
{
    const char* scripts[] = {"{ while (1) { memory(1, 1) } }", "{ sleepMsec(600000) }"};
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        scriptedMessageBox_t boxes;
        boxes.expect(expectedBox_t{L"", true, std::wstring(L"Error in batch!"), MB_OK | MB_ICONWARNING, IDOK});
        qvrFileBatch_t batch(L"Endless", scriptPath);
        ASSERT_TRUE(writeRawFile(scriptPath, script));
        batch.setOwnerWindow(window_.handle());
        std::atomic<bool> done{false};
        std::thread worker([&] {
            batch.execute();
            done.store(true);
        });
        const bool started = waitUntil([] { return batchRunContext_t::current() != nullptr; }, 20s);
        batch.stopForClose();
        const bool ended = waitUntil([&] { return done.load(); }, 20s);
        if (!ended)
            device().sendCommand(132);  // so the join below cannot hang
        worker.join();
        EXPECT_TRUE(started);
        EXPECT_TRUE(ended);
        EXPECT_EQ(batch.stage(0).state, 1);
        EXPECT_EQ(device().getMachineState(), 5);
        window_.takeAll();
        if (!ended) {
            ASSERT_TRUE(enterTechnicianMode());
        }
    }
}
