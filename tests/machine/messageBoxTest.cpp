#include "machine/event.h"
#include "machine/messageBox.h"
#include "machine/stopwatch.h"
#include "machine/threadHandle.h"
#include "platform/lastError.h"
#include "platform/ticks.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

namespace {

class messageBoxThreads : public ::testing::Test {
protected:
    void SetUp() override { setApplicationName(L"Tovrik"); }
    void TearDown() override
    {
        setMainWindow(0);
        setApplicationName(L"");
        setMessageBoxHook(nullptr);
        ticksForTests::setAutomatic();
    }
};

TEST_F(messageBoxThreads, ownerCaptionAndTheLastErrorForAnEmptyText)
{
    queueWindow_t mainDialog;
    setMainWindow(mainDialog.handle());
    scriptedMessageBox_t boxes;
    boxes.expect(L"Saved.", MB_ICONINFORMATION, IDOK);
    boxes.expect(L"The system cannot find the path specified.\r\n", MB_ICONHAND, IDOK);
    boxes.expect(L"Go on?", MB_YESNO | MB_ICONQUESTION, IDNO);

    EXPECT_EQ(messageBox(L"Saved.", MB_ICONINFORMATION), IDOK);
    setLastError(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(messageBox(L"", MB_ICONHAND), IDOK);
    EXPECT_EQ(messageBox(L"Go on?", 36), IDNO);

    const auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.owner, mainDialog.handle());
        EXPECT_EQ(box.caption, L"Tovrik");
    }
    EXPECT_EQ(mainDialog.bringToFrontCount(), 3);
    EXPECT_EQ(openMessageBoxes(), 0);
}

TEST_F(messageBoxThreads, whileABoxIsOpenOnlyQuestionsAreShown)
{
    std::vector<std::pair<unsigned, int>> inner;
    std::vector<std::wstring> shown;
    setMessageBoxHook([&](HWND, const std::wstring& text, const std::wstring&, unsigned style) {
        shown.push_back(text);
        if (text == L"outer") {
            for (unsigned innerStyle : {64u, 16u, 0u, 1u, 36u, 53u, 4u})
                inner.emplace_back(innerStyle, messageBox(L"inner", innerStyle));
        }
        return style == 36 ? IDYES : style == 53 ? IDRETRY : IDOK;
    });
    EXPECT_EQ(messageBox(L"outer", 48), IDOK);
    const std::vector<std::pair<unsigned, int>> expected = {{64u, 0},      {16u, 0},       {0u, 0}, {1u, 0},
                                                            {36u, IDYES}, {53u, IDRETRY}, {4u, IDOK}};
    EXPECT_EQ(inner, expected);
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_EQ(openMessageBoxes(), 0);
    EXPECT_EQ(messageBox(L"after", 64), IDOK) << "the count went back to 0";
}

unsigned showsANotice(void*)
{
    messageBox(L"blocking", 64);
    return 0;
}

TEST_F(messageBoxThreads, openBoxesOnOtherThreadsCount)
{
    event_t opened(true, false);
    event_t close(true, false);
    std::mutex lock;
    std::vector<std::wstring> shown;
    setMessageBoxHook([&](HWND, const std::wstring& text, const std::wstring&, unsigned) {
        {
            std::lock_guard<std::mutex> guard(lock);
            shown.push_back(text);
        }
        if (text == L"blocking") {
            opened.set();
            close.wait(10000);
        }
        return IDOK;
    });
    {
        threadHandle_t worker(showsANotice, nullptr);
        ASSERT_TRUE(opened.wait(10000));
        EXPECT_EQ(openMessageBoxes(), 1);
        EXPECT_EQ(messageBox(L"notice", 64), 0);
        EXPECT_EQ(messageBox(L"question", 36), IDOK);
        close.set();
    }
    EXPECT_EQ(openMessageBoxes(), 0);
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"blocking", L"question"}));
}

TEST_F(messageBoxThreads, stopwatchCountsTicksAcrossTheWrap)
{
    ticksForTests::setManual(0xFFFFFF00u);
    stopwatch_t watch;
    EXPECT_TRUE(watch.isRunning());
    ticksForTests::advance(300);
    EXPECT_EQ(watch.elapsed(), 300u);
    watch.stop();
    ticksForTests::advance(50);
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(watch.elapsed(), 300u);
    EXPECT_EQ(watch.text(), L"300 ms.");
    watch.stop();
    EXPECT_EQ(watch.elapsed(), 300u) << "a second stop changes nothing";

    scriptedMessageBox_t boxes;
    boxes.expect(L"300 ms.", MB_ICONINFORMATION, IDOK);
    watch.show();

    watch.start();
    ticksForTests::advance(125);
    EXPECT_EQ(watch.text(), L"125 ms.");
    watch.clear();
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(watch.elapsed(), 0u);
}

}  // namespace
