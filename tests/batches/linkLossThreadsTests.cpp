// A procedure whose link to the machines server is lost in the middle of a
// stage: the stored status still says state 5 with no error, so only the
// link can tell that the printer is out of reach. The stage ends "Aborted."
// at once, as when the machine leaves state 5, and nothing after it runs.
#include "machine/machineParam.h"
#include "procedures/batches/baseStaticBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/droppedLink.h"
#include "tests/support/queueWindow.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
        const std::uint64_t afterEnd = mark();
        ASSERT_TRUE(dropped->waitForNewLink(device(), machineId));
        device().sendCommand(147);
        ASSERT_TRUE(waitUntil([&] { return !codesSince(afterEnd).empty(); }, 20s));
        EXPECT_EQ(codesSince(afterEnd), std::vector<int>{147});
    }
}

INSTANTIATE_TEST_SUITE_P(Losses, linkLossThreadsTest,
                         ::testing::Values(lossCase_t{"serverStopped", true}, lossCase_t{"connectionDropped", false}),
                         [](const ::testing::TestParamInfo<lossCase_t>& info) { return info.param.name; });
