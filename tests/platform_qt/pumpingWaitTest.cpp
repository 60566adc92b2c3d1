#include "platform/qt/pumpingWait.h"
#include "platform/winConstants.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(PumpingWaitWidget, TheUserInterfaceThreadKeepsRunningEventsInShortSlices)
{
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    std::vector<std::uint32_t> slices;
    // Done only once the event loop has run the timer: without pumping this
    // wait would never end.
    pumpingWait([&](std::uint32_t ms) {
        slices.push_back(ms);
        return timerRan;
    });
    EXPECT_TRUE(timerRan);
    ASSERT_FALSE(slices.empty());
    for (std::uint32_t ms : slices)
        EXPECT_LT(ms, 1000u);
}

TEST(PumpingWaitWidget, OtherThreadsWaitPlainly)
{
    std::vector<std::uint32_t> slices;
    std::atomic<bool> timerRan{false};
    QTimer::singleShot(0, [&] { timerRan = true; });
    std::thread worker([&] {
        pumpingWait([&](std::uint32_t ms) {
            slices.push_back(ms);
            return true;
        });
    });
    worker.join();
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0], INFINITE);
    // The worker did not run this thread's events.
    EXPECT_FALSE(timerRan.load());
    QCoreApplication::processEvents();
}
