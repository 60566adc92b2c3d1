// A procedure whose link to the machines server is lost in the middle of a
// stage: the stored status still says state 5 with no error, so only the
// link can tell that the printer is out of reach. The stage ends "Aborted."
// at once, as when the machine leaves state 5, and nothing after it runs.
// Then every wait of the real procedures, with a Cancel, the machine
// leaving state 5 or the link lost while it waits.
#include "machine/machineParam.h"
#include "platform/messageBoxHook.h"
#include "procedures/batches/baseStaticBatch.h"
#include "procedures/batches/batchDialogs.h"
#include "procedures/batches/calibrateToolsBatch.h"
#include "procedures/batches/calibrateTrimBatch.h"
#include "procedures/batches/checkKnifeBatch.h"
#include "procedures/batches/cleanBubblesBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/droppedLink.h"
#include "tests/support/queueWindow.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr const wchar_t* storedName = L"Z Base Delta";

// A long stage of awaited moves, then a stage that measures and stores.
class moveThenStoreBatch_t : public baseStaticBatch_t {
public:
    static constexpr int moves = 20;

    moveThenStoreBatch_t()
    {
        addStage(L"Move Z");
        addStage(L"Store");
    }
    std::wstring name() const override { return L"Move Then Store"; }
    void run() override
    {
        for (int i = 1; i <= moves; ++i)
            sendAndCheck(129, 1, 2, 4, i * 1000);
        finishStage();
        sendAndCheck(147);
        setParam(storedName, paramValue(storedName) + 1);
        finishStage();
    }
};

struct lossCase_t {
    const char* name;
    bool serverStops;  // else the connection is dropped and made again
};

void PrintTo(const lossCase_t& c, std::ostream* out)
{
    *out << c.name;
}

}  // namespace

class linkLossThreadsTest : public batchMachineThreadsTest, public ::testing::WithParamInterface<lossCase_t> {
protected:
    // Slow enough moves that the loss comes with most of the stage to go.
    void configure(simPrinterConfig_t& printer) override { printer.actionMs = 100; }

    int count129Since(std::uint64_t from) const
    {
        const std::vector<int> codes = codesSince(from);
        return static_cast<int>(std::count(codes.begin(), codes.end(), 129));
    }
};

TEST_P(linkLossThreadsTest, TheStageIsAbortedAndNothingAfterItRuns)
{
    const lossCase_t c = GetParam();
    const machineParam_t* stored = findParameter(-1, storedName);
    ASSERT_NE(stored, nullptr);
    const std::int32_t storedBefore = device().getParamValue(*stored);

    queueWindow_t window;
    moveThenStoreBatch_t batch;
    batch.setOwnerWindow(window.handle());
    const std::uint64_t start = mark();
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        batch.execute();
        ended.store(true);
    });
    const bool midStage = waitUntil([&] { return count129Since(start) >= 3; }, 20s);
    std::optional<droppedLink_t> dropped;
    const auto lostAt = std::chrono::steady_clock::now();
    if (midStage) {
        if (c.serverStops)
            server().stop();
        else
            dropped.emplace(server());
    }
    const bool endedInTime = waitUntil([&] { return ended.load(); }, 60s);
    const auto took = std::chrono::steady_clock::now() - lostAt;
    if (!endedInTime)
        batch.abortEvent().set();
    worker.join();
    ASSERT_TRUE(midStage);
    ASSERT_TRUE(endedInTime);
    EXPECT_LE(took, 5s);

    EXPECT_EQ(batch.stage(0).state, baseStaticBatch_t::aborted_e);
    EXPECT_EQ(batch.stage(0).statusText, L"Aborted.");
    EXPECT_EQ(batch.stage(1).state, baseStaticBatch_t::pendingState);
    std::vector<std::pair<WPARAM, LPARAM>> posted;
    for (const postedMessage_t& m : window.takeAll())
        posted.emplace_back(m.wParam, m.lParam);
    EXPECT_EQ(posted, (std::vector<std::pair<WPARAM, LPARAM>>{{0, 3}, {0, 2}}));
    EXPECT_EQ(device().getParamValue(*stored), storedBefore);

    if (!c.serverStops) {
        // The link comes back by itself; the first command the printer gets
        // on it is the one sent now, not one the procedure left behind.
        // What the old link carried may still be on its way in.
        const auto newLink = [&](std::uint32_t connection) { return !dropped->ended(connection); };
        const std::uint64_t afterEnd = mark();
        ASSERT_TRUE(dropped->waitForNewLink(device(), machineId));
        device().sendCommand(147);
        ASSERT_TRUE(waitUntil([&] { return !codesSince(afterEnd, newLink).empty(); }, 20s));
        EXPECT_EQ(codesSince(afterEnd, newLink), std::vector<int>{147});
    }
}

INSTANTIATE_TEST_SUITE_P(Losses, linkLossThreadsTest,
                         ::testing::Values(lossCase_t{"serverStopped", true}, lossCase_t{"connectionDropped", false}),
                         [](const ::testing::TestParamInfo<lossCase_t>& info) { return info.param.name; });

namespace {

enum class event_e { cancel_e, leaveState5_e, linkLost_e };

// Where a row's event falls: a stage change posted (a stage text), a
// question box, the trim's number chooser, the knife check's RESUME window,
// or the knife check's wait for state 5 after RESUME.
enum class wait_e { stage_e, question_e, chooser_e, resumeWindow_e, afterResume_e };

struct waitCase_t {
    const char* name;
    std::function<std::unique_ptr<baseStaticBatch_t>()> make;
    wait_e wait;
    int stage;            // stage_e: the stage that goes in progress...
    const wchar_t* text;  // ...with this text; question_e: the question's first words
    event_e event;
    std::pair<int, int> end;  // the last stage change posted
    commandList_t cleanUp;    // what the procedure hands the device from the event on
    const wchar_t* kept = nullptr;  // a parameter the run must leave as it was
};

void PrintTo(const waitCase_t& c, std::ostream* out)
{
    *out << c.name;
}

std::unique_ptr<baseStaticBatch_t> knife()
{
    auto batch = std::make_unique<checkKnifeBatch_t>();
    batch->setCountdownStep(1000);
    return batch;
}

std::unique_ptr<baseStaticBatch_t> trim()
{
    auto batch = std::make_unique<calibrateTrimBatch_t>();
    batch->setSecondEventLimit(30000);
    return batch;
}

const commandBytes_t returnTool = cmd(141, {0});
// The trim's clean-up: iron unhooked, tool returned, the bridge to End Model
// Pos X and First Tool Y - 30 mm.
const commandList_t trimCleanUp = {cmd(151, {0}), cmd(141), cmd(135, {i32(255000000), i32(354442440)})};
const commandList_t motorsOn = {cmd(131, {0, 2}), cmd(131, {1, 2})};

// The status polls (1, 12) left out.
commandList_t withoutPolls(const commandList_t& commands)
{
    commandList_t out;
    for (const commandBytes_t& command : commands)
        if (command != cmd(1) && command != cmd(12))
            out.push_back(command);
    return out;
}

bool endsWith(const commandList_t& commands, const commandList_t& tail)
{
    return commands.size() >= tail.size() && std::equal(tail.begin(), tail.end(), commands.end() - tail.size());
}

}  // namespace

class linkLossWaitsThreadsTest : public batchMachineThreadsTest, public ::testing::WithParamInterface<waitCase_t> {
protected:
    void configure(simPrinterConfig_t& printer) override { printer.actionMs = 5; }
    void TearDown() override
    {
        setMessageBoxHook({});
        clearBatchDialogs();
        batchMachineThreadsTest::TearDown();
    }
};

TEST_P(linkLossWaitsThreadsTest, TheWaitEndsAbortedWithItsCleanUp)
{
    const waitCase_t c = GetParam();
    setDeviceParam(L"Trim Y initial", 1500000);
    setDeviceParam(L"End Model Pos X", 255000000);
    setDeviceParam(L"First Tool Y", 384442440);
    const machineParam_t* kept = c.kept != nullptr ? findParameter(-1, c.kept) : nullptr;
    const std::int32_t keptBefore = kept != nullptr ? device().getParamValue(*kept) : 0;
    std::unique_ptr<baseStaticBatch_t> batch = c.make();
    std::thread later;

    std::atomic<std::size_t> sentAtEvent{0};
    std::atomic<std::uint64_t> traceAtEvent{0};
    std::atomic<bool> happened{false};
    std::atomic<std::chrono::steady_clock::time_point> eventAt{};
    std::optional<droppedLink_t> dropped;
    // The event itself; `wait` lets it wait for the device (not allowed
    // where it runs under the window table's lock).
    const auto event = [&](bool wait) {
        sentAtEvent.store(sentCommandsMark());
        traceAtEvent.store(mark());
        eventAt.store(std::chrono::steady_clock::now());
        happened.store(true);
        switch (c.event) {
        case event_e::cancel_e:
            batch->abortEvent().set();
            break;
        case event_e::leaveState5_e:
            printer().pressResume();
            if (wait) {
                EXPECT_TRUE(waitDeviceState(7));
            }
            break;
        case event_e::linkLost_e:
            dropped.emplace(server());
            if (wait) {
                EXPECT_TRUE(waitUntil([&] { return !device().isConnected(); }, 20s));
            }
            break;
        }
    };

    // Every question is answered as the technician goes on (OK, Yes); the
    // row's question first has its event.
    setMessageBoxHook([&](HWND, const std::wstring& text, const std::wstring&, unsigned style) {
        if (c.wait == wait_e::question_e && text.rfind(c.text, 0) == 0)
            event(true);
        return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
    batchDialogs_t dialogs;
    dialogs.chooseTrimNumber = [&](HWND, int, int, int& chosen) {
        if (c.wait == wait_e::chooser_e) {
            // The machine draws on; the event comes once it is done.
            EXPECT_TRUE(waitUntil(
                [&] {
                    const std::vector<int> codes = codesSince(0);
                    return std::find(codes.begin(), codes.end(), 19) != codes.end() && printer().actionsIdle();
                },
                30s));
            event(true);
        }
        chosen = 9;
        return true;
    };
    dialogs.waitForResume = [&](HWND, qvrClientDev_t*) {
        if (c.wait == wait_e::resumeWindow_e) {
            event(true);  // the window closes over the lost link, or on Cancel
            return;
        }
        if (c.wait == wait_e::afterResume_e) {
            // After RESUME the check asks the machine back into state 5;
            // the printer takes that command without effect, so the machine
            // stays out of state 5 and only the wait itself can end the
            // stage. (The run's own start may send 146 too: the rule is
            // made only now.)
            simFaultRule_t rule;
            rule.code = 146;
            rule.action = simFaultRule_t::action_e::failCommand_e;
            printer().addFault(rule);
        }
        printer().pressResume();
        EXPECT_TRUE(waitDeviceState(7));
        if (c.wait == wait_e::afterResume_e) {
            // The event once the check waits: its request has arrived.
            later = std::thread([&, from = mark()] {
                EXPECT_TRUE(waitUntil([&] {
                    const std::vector<int> codes = codesSince(from);
                    return std::find(codes.begin(), codes.end(), 146) != codes.end();
                }));
                event(true);
            });
        }
    };
    setBatchDialogs(dialogs);
    stageWindow_t window;
    if (c.wait == wait_e::stage_e)
        window.onStage(
            [&](int stage, int state) {
                return stage == c.stage && state == baseStaticBatch_t::inProgress_e &&
                       batch->stage(stage).statusText == c.text;
            },
            [&] { event(false); });

    const std::vector<std::pair<int, int>> posted = drive(*batch, window);
    const auto ended = std::chrono::steady_clock::now();
    if (later.joinable())
        later.join();
    ASSERT_TRUE(happened.load());
    // Promptly: a wait notices within a second or so (deadline five times that).
    EXPECT_LT(ended - eventAt.load(), 10s);
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), c.end);
    EXPECT_EQ(batch->stage(c.end.first).statusText, L"Aborted.");
    // The clean-up last; before it at most the command the procedure had
    // already handed on as the event came.
    const commandList_t handed = sentCommandsSince(sentAtEvent.load());
    EXPECT_TRUE(endsWith(handed, c.cleanUp)) << asLines(handed);
    EXPECT_LE(handed.size(), c.cleanUp.size() + 1) << asLines(handed);
    if (kept != nullptr) {
        EXPECT_EQ(device().getParamValue(*kept), keptBefore);
    }
    if (c.event == event_e::linkLost_e) {
        // Nothing of the run reaches the printer on the next link. What was
        // handed to the dropped one before the event may still arrive over
        // it, traced after the mark.
        ASSERT_TRUE(dropped->waitForNewLink(device(), machineId));
        const auto newLink = [&](std::uint32_t connection) { return !dropped->ended(connection); };
        EXPECT_EQ(asLines(withoutPolls(commandsSince(traceAtEvent.load(), newLink))), "");
    } else {
        // The clean-up reaches the printer, after what was queued before.
        const commandList_t arrived = withoutPolls(commandsSince(traceAtEvent.load()));
        EXPECT_TRUE(endsWith(arrived, c.cleanUp)) << asLines(arrived);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Waits, linkLossWaitsThreadsTest,
    ::testing::Values(
        // A lost link in each family of real procedures.
        waitCase_t{"cleanBubblesPurgeLinkLost", [] { return std::make_unique<cleanBubblesBatch_t>(); },
                   wait_e::stage_e, 1, L"In Progress...", event_e::linkLost_e, {1, 2}, {cmd(130, {3})}},
        // A value to store, with its question open: stored only on the run's
        // link with the machine in state 5.
        waitCase_t{"toolsSaveQuestionLeaveState5", [] { return std::make_unique<calibrateToolsBatch_t>(); },
                   wait_e::question_e, 0, L"New values for the first tool XY", event_e::leaveState5_e, {4, 2},
                   motorsOn, L"First Tool X"},
        waitCase_t{"toolsSaveQuestionLinkLost", [] { return std::make_unique<calibrateToolsBatch_t>(); },
                   wait_e::question_e, 0, L"New values for the first tool XY", event_e::linkLost_e, {4, 2},
                   motorsOn, L"First Tool X"},
        waitCase_t{"trimChooserLeaveState5", trim, wait_e::chooser_e, 0, nullptr, event_e::leaveState5_e, {3, 2},
                   trimCleanUp, L"Trim Y initial"},
        waitCase_t{"trimChooserLinkLost", trim, wait_e::chooser_e, 0, nullptr, event_e::linkLost_e, {3, 2},
                   trimCleanUp, L"Trim Y initial"},
        // The trim's wait for the machine's answer before it trims.
        waitCase_t{"trimLayerWaitCancel", trim, wait_e::stage_e, 4, L"In Progress...", event_e::cancel_e, {4, 2},
                   trimCleanUp},
        waitCase_t{"trimLayerWaitLeaveState5", trim, wait_e::stage_e, 4, L"In Progress...",
                   event_e::leaveState5_e, {4, 2}, trimCleanUp},
        waitCase_t{"trimLayerWaitLinkLost", trim, wait_e::stage_e, 4, L"In Progress...", event_e::linkLost_e,
                   {4, 2}, trimCleanUp},
        // The knife check: its RESUME window, its wait for state 5 after
        // RESUME, its countdown and its last RESUME.
        waitCase_t{"knifeResumeWindowLinkLost", knife, wait_e::resumeWindow_e, 0, nullptr, event_e::linkLost_e,
                   {1, 2}, {returnTool}},
        waitCase_t{"knifeWaitForState5Cancel", knife, wait_e::afterResume_e, 0, nullptr, event_e::cancel_e, {1, 2},
                   {returnTool}},
        waitCase_t{"knifeWaitForState5LinkLost", knife, wait_e::afterResume_e, 0, nullptr, event_e::linkLost_e,
                   {1, 2}, {returnTool}},
        waitCase_t{"knifeCountdownLeaveState5", knife, wait_e::stage_e, 1, L"4 Seconds Left...",
                   event_e::leaveState5_e, {1, 2}, {returnTool}},
        waitCase_t{"knifeCountdownLinkLost", knife, wait_e::stage_e, 1, L"2 Seconds Left...", event_e::linkLost_e,
                   {1, 2}, {returnTool}},
        waitCase_t{"knifeLastResumeLinkLost", knife, wait_e::stage_e, 3, L"Press RESUME...", event_e::linkLost_e,
                   {3, 2}, {returnTool, cmd(134, {i32(0), i32(100000000)})}}),
    [](const ::testing::TestParamInfo<waitCase_t>& info) { return info.param.name; });
