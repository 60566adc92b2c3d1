// Last error, rand, ticks, wait hook and message-box default: the small
// stand-ins the rest of the system builds its rules on.
#include "platform/crtRand.h"
#include "platform/lastError.h"
#include "platform/messageBoxHook.h"
#include "platform/ticks.h"
#include "platform/waitHook.h"
#include "tests/support/childProcess.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(LastError, errnoMappingAndTexts) {
    struct row_t {
        int err;
        DWORD code;
        const wchar_t* text;
    };
    const row_t rows[] = {
        {ENOENT, 2, L"The system cannot find the file specified.\r\n"},
        {ENOTDIR, 3, L"The system cannot find the path specified.\r\n"},
        {EACCES, 5, L"Access is denied.\r\n"},
        {ETXTBSY, 32, L"The process cannot access the file because it is being used by another process.\r\n"},
        {EEXIST, 183, L"Cannot create a file when that file already exists.\r\n"},
        {ENAMETOOLONG, 206, L"The filename or extension is too long.\r\n"},
        {ENOSPC, 112, L"There is not enough space on the disk.\r\n"},
    };
    for (const auto& r : rows) {
        setLastErrorFromErrno(r.err);
        EXPECT_EQ(getLastError(), r.code) << r.err;
        EXPECT_EQ(systemErrorText(r.code), r.text);
    }
    EXPECT_EQ(systemErrorText(ERROR_FILE_EXISTS), L"The file exists.\r\n");
    EXPECT_EQ(systemErrorText(ERROR_SUCCESS), L"The operation completed successfully.\r\n");
}

TEST(LastError, isKeptPerThread) {
    setLastError(5);
    DWORD other = 99;
    std::thread([&] {
        other = getLastError();
        setLastError(2);
    }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(getLastError(), 5u);
}

TEST(CrtRand, sequenceStartsAfreshOnEveryThread) {
    std::vector<int> seen;
    std::thread([&] {
        for (int k = 0; k < 4; ++k) seen.push_back(crtRand());
    }).join();
    EXPECT_EQ(seen, (std::vector<int>{41, 18467, 6334, 26500}));
    std::thread([] {
        crtSrand(1);
        EXPECT_EQ(crtRand(), 41);
        for (int k = 0; k < 10000; ++k) {
            const int v = crtRand();
            ASSERT_GE(v, 0);
            ASSERT_LE(v, CRT_RAND_MAX);
        }
    }).join();
}

struct manualTicks_t {
    explicit manualTicks_t(std::uint32_t start) { ticksForTests::setManual(start); }
    ~manualTicks_t() { ticksForTests::setAutomatic(); }
};

TEST(Ticks, manualSourceWrapsAt32Bits) {
    manualTicks_t manual(0xFFFFFF00u);
    const std::uint32_t start = tickCount();
    EXPECT_EQ(start, 0xFFFFFF00u);
    ticksForTests::advance(0x80);
    EXPECT_EQ(tickCount(), 0xFFFFFF80u);
    ticksForTests::advance(0x100);
    EXPECT_EQ(tickCount(), 0x80u);  // wrapped
    // The unsigned difference the system's time-outs use stays right across the wrap.
    EXPECT_EQ(tickCount() - start, 0x180u);
    EXPECT_EQ(static_cast<std::int32_t>(start - tickCount()), -0x180);
    ticksForTests::setAutomatic();
    EXPECT_FALSE(ticksForTests::isManual());
}

TEST(Ticks, automaticTicksFollowTheMonotonicClock) {
    const std::uint32_t a = tickCount();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint32_t b = tickCount();
    const std::uint32_t mono = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000u);
    const std::uint32_t offset = tickCount() - mono;
    EXPECT_LE(b - a, 1000u);
    // This process has no QVR_TICK_OFFSET unless the environment set one.
    if (std::getenv("QVR_TICK_OFFSET") == nullptr) {
        EXPECT_LE(offset, 1000u);
    }
}

// Checks in a child process that its ticks carry QVR_TICK_OFFSET.
QVR_CHILD_HELPER(tickOffsetChild) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint32_t mono = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000u);
    const std::uint32_t offset = tickCount() - mono;
    const std::uint32_t wanted = static_cast<std::uint32_t>(std::strtoul(args.at(0).c_str(), nullptr, 10));
    return offset - wanted <= 1000u ? 0 : 1;
}

TEST(Ticks, childProcessesShareTheOffsetFromTheEnvironment) {
    const char* old = std::getenv("QVR_TICK_OFFSET");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("QVR_TICK_OFFSET", "4294900000", 1);
    childProcess_t child;
    ASSERT_TRUE(child.start("tickOffsetChild", {"4294900000"}));
    if (old != nullptr) ::setenv("QVR_TICK_OFFSET", saved.c_str(), 1);
    else ::unsetenv("QVR_TICK_OFFSET");
    EXPECT_EQ(child.wait(), 0);
}

TEST(WaitHook, replacedAndRestored) {
    int hookCalls = 0;
    int slices = 0;
    // A hook that waits in short slices, as the user-interface thread does.
    setWaitHook([&](const waitSlice_t& slice) {
        ++hookCalls;
        while (!slice(10)) {
        }
    });
    waitWithoutLimit([&](std::uint32_t ms) {
        EXPECT_EQ(ms, 10u);
        return ++slices == 3;
    });
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(slices, 3);

    setWaitHook(nullptr);
    std::vector<std::uint32_t> asked;
    waitWithoutLimit([&](std::uint32_t ms) {
        asked.push_back(ms);
        return true;
    });
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(asked, std::vector<std::uint32_t>{INFINITE});
}

TEST(MessageBox, defaultAnswersWithoutHook) {
    struct row_t {
        unsigned style;
        int answer;
    };
    const row_t rows[] = {
        {MB_OK | MB_ICONINFORMATION, IDOK}, {MB_ICONHAND, IDOK},     {MB_OKCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDNO}, {MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDCANCEL},
        {MB_YESNOCANCEL, IDCANCEL},         {MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, IDNO},
    };
    setMessageBoxHook(nullptr);
    for (const auto& r : rows) {
        EXPECT_EQ(defaultMessageBoxAnswer(r.style), r.answer) << r.style;
        testing::internal::CaptureStderr();
        EXPECT_EQ(showMessageBox(0, L"Question?", L"Tovrik", r.style), r.answer);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("Tovrik: Question?"), std::string::npos) << err;
    }
}

TEST(MessageBox, hookSeesOwnerTextCaptionAndStyle) {
    setApplicationName(L"Tovrik");
    setMainWindow(0x1234);
    std::wstring seen;
    setMessageBoxHook([&](HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
        seen = text + L"|" + caption + L"|" + std::to_wstring(owner) + L"|" + std::to_wstring(style);
        return IDYES;
    });
    EXPECT_EQ(showMessageBox(mainWindow(), L"Sure?", applicationName(), 36), IDYES);
    setMessageBoxHook(nullptr);
    setMainWindow(0);
    EXPECT_EQ(seen, L"Sure?|Tovrik|4660|36");
}

}  // namespace
