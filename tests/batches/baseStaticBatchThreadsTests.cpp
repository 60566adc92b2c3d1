#include "procedures/batches/baseStaticBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using stage_t = std::pair<int, int>;  // posted (stage, state)

// Three stages, each one awaited command; the last closes with a result text.
class threeStageBatch_t : public baseStaticBatch_t {
public:
    threeStageBatch_t()
    {
        addStage(L"Home Z");
        addStage(L"Move Z");
        addStage(L"Status");
    }
    std::wstring name() const override { return L"Three Stages"; }
    void run() override
    {
        if (throwOther)
            throw std::runtime_error("not a status");
        sendAndCheck(130, 1, 2);
        finishStage();
        sendAndCheck(129, 1, 2, 4, 100000);
        finishStage();
        if (askFirst)
            ask(L"Go on?", MB_OKCANCEL | MB_ICONINFORMATION);
        sendAndCheck(147);
        finishStage(L"12.5 mm");
    }
    void onStopped(stageStatus_t status) override { stoppedWith.store(status); }

    bool throwOther = false;
    bool askFirst = false;
    std::atomic<int> stoppedWith{-1};
};

std::vector<stage_t> stageMessages(const std::vector<postedMessage_t>& messages)
{
    std::vector<stage_t> posted;
    for (const postedMessage_t& message : messages)
        if (message.message == baseStaticBatch_t::stageMessage)
            posted.emplace_back(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
    return posted;
}

}  // namespace

class baseStaticBatchThreadsTest : public batchMachineThreadsTest {
protected:
    // Runs the procedure's worker job on this thread with the queue window
    // as its owner.
    std::vector<stage_t> execute(threeStageBatch_t& batch)
    {
        batch.setOwnerWindow(window_.handle());
        batch.execute();
        return stageMessages(window_.takeAll());
    }
    queueWindow_t window_;
};

TEST_F(baseStaticBatchThreadsTest, CompletedRunPostsEveryStageThenTheEnd)
{
    threeStageBatch_t batch;
    const std::uint64_t from = mark();
    const std::vector<stage_t> posted = execute(batch);
    EXPECT_EQ(posted, (std::vector<stage_t>{{0, 3}, {0, 0}, {1, 3}, {1, 0}, {2, 3}, {2, 0}, {3, -1}}));
    EXPECT_EQ(codesSince(from), (std::vector<int>{130, 129, 147}));
    const std::wstring texts[] = {L"Completed.", L"Completed.", L"12.5 mm"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(batch.stage(i).state, 0);
        EXPECT_EQ(batch.stage(i).statusText, texts[i]);
    }
    EXPECT_EQ(batch.stoppedWith.load(), -1);

    // A fresh start clears what the run left.
    batch.secondEvent().set();
    batch.abortEvent().set();
    batch.resetForStart();
    EXPECT_EQ(batch.currentStage(), 0);
    EXPECT_EQ(batch.stage(2).state, baseStaticBatch_t::pendingState);
    EXPECT_EQ(batch.stage(2).statusText, L"");
    EXPECT_FALSE(batch.abortEvent().isSet());
    EXPECT_FALSE(batch.secondEvent().isSet());
}

TEST_F(baseStaticBatchThreadsTest, StoppedRunsShowTheirStatusOnTheCurrentStage)
{
    struct case_t {
        const char* what;
        int status;
        int stage;
    } cases[] = {
        {"machine error on 129", 1, 1},
        {"abort before any command", 2, 0},
        {"machine out of state 5", 2, 0},
        {"Cancel in a question", 2, 2},
        {"an exception that is no status", 1, 0},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        ASSERT_TRUE(enterTechnicianMode());
        printer().clearError();
        threeStageBatch_t batch;
        scriptedMessageBox_t boxes;
        if (what == "machine error on 129") {
            failNextCommand(129);
        } else if (what == "abort before any command") {
            batch.abortEvent().set();
        } else if (what == "machine out of state 5") {
            ASSERT_TRUE(leaveTechnicianMode());
        } else if (what == "Cancel in a question") {
            batch.askFirst = true;
            boxes.expect(expectedBox_t{L"Go on?", false, std::wstring(L"Three Stages"),
                                       MB_OKCANCEL | MB_ICONINFORMATION, IDCANCEL});
        } else {
            batch.throwOther = true;
        }
        const std::vector<stage_t> posted = execute(batch);
        printer().clearFaults();
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back(), stage_t(c.stage, c.status));
        EXPECT_EQ(batch.stoppedWith.load(), c.status);
        EXPECT_EQ(batch.stage(c.stage).state, c.status);
        EXPECT_EQ(batch.stage(c.stage).statusText, c.status == 1 ? L"Failed." : L"Aborted.");
        if (c.stage + 1 < batch.stageCount()) {
            EXPECT_EQ(batch.stage(c.stage + 1).state, baseStaticBatch_t::pendingState);
        }
        if (what == "Cancel in a question") {
            ASSERT_EQ(boxes.shown().size(), 1u);
        }
    }
}

TEST_F(baseStaticBatchThreadsTest, AfterTheWindowIsGoneStatesAreStoredButNothingIsPosted)
{
    threeStageBatch_t batch;
    batch.setOwnerWindow(window_.handle());
    window_.destroy();
    batch.execute();
    EXPECT_EQ(window_.count(), 0u);
    EXPECT_EQ(batch.stage(2).state, 0);
    EXPECT_EQ(batch.stage(2).statusText, L"12.5 mm");
}

TEST_F(baseStaticBatchThreadsTest, CurrentProcedureIsClearedOnlyByItsOwnDestructor)
{
    auto first = std::make_unique<threeStageBatch_t>();
    baseStaticBatch_t::setCurrent(first.get());
    {
        threeStageBatch_t other;
    }
    EXPECT_EQ(baseStaticBatch_t::current(), first.get());
    first.reset();
    EXPECT_EQ(baseStaticBatch_t::current(), nullptr);
}

// The stage records are written by the worker while the window's thread
// copies them (run under ThreadSanitizer).
TEST_F(baseStaticBatchThreadsTest, StageRecordsAreReadWhileTheWorkerWritesThem)
{
    class countingBatch_t : public baseStaticBatch_t {
    public:
        countingBatch_t() { addStage(L"Count"); }
        std::wstring name() const override { return L"Count"; }
        void run() override
        {
            for (int i = 0; i < 2000; ++i)
                setStageStatus(inProgress_e, L"step " + std::to_wstring(i) + L" of a long enough text");
            finishStage();
        }
    } batch;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        batch.execute();
        done.store(true);
    });
    while (!done.load()) {
        const batchStage_t stage = batch.stage(0);
        const bool whole = stage.statusText.empty() || stage.statusText == L"In Progress..." ||
                           stage.statusText == L"Completed." ||
                           stage.statusText.find(L" of a long enough text") != std::wstring::npos;
        if (!whole) {
            ADD_FAILURE() << "torn stage text";
            break;
        }
    }
    worker.join();
    EXPECT_EQ(batch.stage(0).statusText, L"Completed.");
}
