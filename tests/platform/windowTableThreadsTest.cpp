#include "platform/windowTable.h"
#include "tests/support/queueWindow.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(WindowTable, postsReachOnlyRegisteredWindowsAndHandlesAreNeverReused) {
    queueWindow_t a;
    HWND first = a.handle();
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(isWindow(first));
    EXPECT_TRUE(postMessage(first, WM_USER + 222, 105, -7));
    const auto m = a.waitForMessage(WM_USER + 222);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->wParam, 105u);
    EXPECT_EQ(m->lParam, -7);
    bringWindowToFront(first);
    EXPECT_EQ(a.bringToFrontCount(), 1);

    a.destroy();
    EXPECT_FALSE(isWindow(first));
    EXPECT_FALSE(postMessage(first, WM_APP, 0, 0));
    EXPECT_EQ(a.count(), 0u);
    EXPECT_FALSE(isWindow(0));
    EXPECT_FALSE(postMessage(0, WM_APP, 0, 0));
    for (int k = 0; k < 100; ++k) {
        queueWindow_t b;
        EXPECT_NE(b.handle(), first);
        EXPECT_GT(b.handle(), first);
    }
}

// A sink that notices any delivery after its window unregistered.
class strictSink_t : public windowSink_t {
public:
    std::atomic<bool> closed{false};
    std::atomic<int> delivered{0};
    std::atomic<int> late{0};
    void deliver(unsigned, WPARAM, LPARAM) override {
        if (closed.load()) ++late;
        else ++delivered;
    }
};

TEST(WindowTableThreads, noPostReachesAWindowAfterItUnregistered) {
    for (int round = 0; round < 20; ++round) {
        auto sink = std::make_unique<strictSink_t>();
        const HWND handle = registerWindow(sink.get());
        std::atomic<bool> stop{false};
        std::atomic<int> accepted{0};
        std::vector<std::thread> posters;
        for (int t = 0; t < 8; ++t) {
            posters.emplace_back([&] {
                while (!stop.load()) {
                    if (postMessage(handle, WM_USER + 8, 1, 2)) ++accepted;
                }
            });
        }
        while (sink->delivered.load() < 50) std::this_thread::yield();
        unregisterWindow(handle);
        // From here on nothing may arrive: the sink is about to go away.
        sink->closed = true;
        const int acceptedAtClose = accepted.load();
        for (int spin = 0; spin < 1000; ++spin) EXPECT_FALSE(postMessage(handle, WM_USER + 8, 0, 0));
        stop = true;
        for (auto& t : posters) t.join();
        EXPECT_EQ(sink->late.load(), 0);
        EXPECT_GE(accepted.load(), acceptedAtClose);
        EXPECT_EQ(sink->delivered.load(), accepted.load());
        sink.reset();
    }
}

TEST(WindowTableThreads, queueWindowsSurviveConcurrentCreationAndPosting) {
    std::atomic<bool> stop{false};
    std::atomic<HWND> latest{0};
    std::thread poster([&] {
        while (!stop.load()) {
            postMessage(latest.load(), WM_APP, 0, 0);
            postMessage(latest.load() + 1, WM_APP, 0, 0);
        }
    });
    for (int k = 0; k < 300; ++k) {
        queueWindow_t w;
        latest = w.handle();
        postMessage(w.handle(), WM_APP, 1, 1);
        ASSERT_TRUE(w.waitForMessage(WM_APP));
    }
    stop = true;
    poster.join();
}

}  // namespace
