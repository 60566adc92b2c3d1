#include "platform/qt/qtWindow.h"
#include "platform/qt/qtWindowSink.h"
#include "platform/qt/processEventsUntil.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct received_t {
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
    bool onUiThread;
};

class recorder_t {
public:
    qtWindowSink_t::handler_t handler()
    {
        return [this](unsigned message, WPARAM wParam, LPARAM lParam) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(
                {message, wParam, lParam, QThread::currentThread() == QCoreApplication::instance()->thread()});
        };
    }
    std::vector<received_t> messages() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::size_t count() const { return messages().size(); }

private:
    mutable std::mutex mutex_;
    std::vector<received_t> messages_;
};

// A window as the dialogs are written: a Q_OBJECT class over qtWindow_t.
class testDialog_t : public qtWindow_t<QDialog> {
    Q_OBJECT
public:
    std::atomic<int> received{0};
    unsigned lastMessage = 0;

protected:
    void onWindowMessage(unsigned message, WPARAM, LPARAM) override
    {
        lastMessage = message;
        received.fetch_add(1);
    }
};

}  // namespace

TEST(WindowSinkWidget, PostsFromAWorkerArriveInOrderOnTheUserInterfaceThread)
{
    QWidget widget;
    recorder_t recorder;
    qtWindowSink_t sink(&widget, recorder.handler());
    const HWND window = sink.handle();
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(isWindow(window));
    EXPECT_EQ(widgetForWindow(window), &widget);
    EXPECT_EQ(windowForWidget(&widget), window);

    std::thread worker([window] {
        postMessage(window, WM_USER + 222, 102 | (77 << 16), 5);
        postMessage(window, WM_USER + 8, 3, -1);
        postMessage(window, WM_APP, 0, 0);
    });
    worker.join();

    ASSERT_TRUE(processEventsUntil([&] { return recorder.count() >= 3; }));
    const auto got = recorder.messages();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, WM_USER + 222);
    EXPECT_EQ(got[0].wParam, WPARAM(102 | (77 << 16)));
    EXPECT_EQ(got[0].lParam, 5);
    EXPECT_EQ(got[1].message, WM_USER + 8);
    EXPECT_EQ(got[1].wParam, 3u);
    EXPECT_EQ(got[1].lParam, -1);
    EXPECT_EQ(got[2].message, WM_APP);
    for (const auto& m : got)
        EXPECT_TRUE(m.onUiThread);
}

TEST(WindowSinkWidget, NothingArrivesAfterTheDestroyStepNotEvenWhatWasQueued)
{
    QWidget widget;
    recorder_t recorder;
    qtWindowSink_t sink(&widget, recorder.handler());
    const HWND window = sink.handle();

    EXPECT_TRUE(postMessage(window, WM_APP, 1, 0));  // queued, not yet handled
    sink.unregister();
    EXPECT_EQ(sink.handle(), 0u);
    EXPECT_FALSE(isWindow(window));
    EXPECT_EQ(widgetForWindow(window), nullptr);

    bool postedFromWorker = true;
    std::thread worker([&] { postedFromWorker = postMessage(window, WM_APP, 2, 0); });
    worker.join();
    EXPECT_FALSE(postedFromWorker);

    // A marker posted through a second sink shows that the queue has been
    // run past the dropped message.
    QWidget other;
    recorder_t marker;
    qtWindowSink_t otherSink(&other, marker.handler());
    postMessage(otherSink.handle(), WM_APP, 0, 0);
    ASSERT_TRUE(processEventsUntil([&] { return marker.count() == 1; }));
    EXPECT_EQ(recorder.count(), 0u);
}

TEST(WindowSinkWidget, AWindowClassGetsItsMessagesUntilItIsDestroyed)
{
    testDialog_t dialog;
    const HWND window = dialog.hwnd();
    ASSERT_TRUE(isWindow(window));
    postMessage(window, WM_USER + 8, 0, 0);
    ASSERT_TRUE(processEventsUntil([&] { return dialog.received.load() == 1; }));
    EXPECT_EQ(dialog.lastMessage, WM_USER + 8);

    dialog.destroyWindow();
    EXPECT_EQ(dialog.hwnd(), 0u);
    EXPECT_FALSE(postMessage(window, WM_USER + 8, 0, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.received.load(), 1);
}

TEST(WindowSinkWidget, PostsRacingWithTheWindowsDestructionAreDroppedSafely)
{
    auto dialog = std::make_unique<testDialog_t>();
    const HWND window = dialog->hwnd();
    std::atomic<bool> stop{false};
    std::atomic<int> refusedAfterDestruction{0};
    std::atomic<bool> destroyed{false};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                const bool wasDestroyed = destroyed.load();
                const bool posted = postMessage(window, WM_USER + 222, 0, 0);
                if (wasDestroyed) {
                    EXPECT_FALSE(posted);
                    refusedAfterDestruction.fetch_add(1);
                }
            }
        });
    }
    ASSERT_TRUE(processEventsUntil([&] { return dialog->received.load() >= 200; }));
    dialog.reset();  // unregisters before the widget goes
    destroyed.store(true);
    // Let the posting threads run into the closed window for a while.
    ASSERT_TRUE(processEventsUntil([&] { return refusedAfterDestruction.load() >= 1000; }));
    stop.store(true);
    for (auto& w : workers)
        w.join();
    EXPECT_FALSE(isWindow(window));
}

#include "qtWindowSinkTest.moc"
