#include "machine/programUtils.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class programUtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& line) {
            started.push_back(line);
            return answer;
        });
    }
    void TearDown() override { setLauncherHook(nullptr); }
    std::vector<std::wstring> started;
    bool answer = true;
};

TEST_F(programUtilsTest, runProgramStartsTheBuiltCommandLine)
{
    EXPECT_TRUE(runProgram(L"C:\\x y\\a.exe", L"/c", true));
    EXPECT_TRUE(runProgram(L"C:\\x y\\a.exe", L"", true));
    EXPECT_TRUE(runProgram(L"\"Wendaro.exe\"", L"/c", false));
    answer = false;
    EXPECT_FALSE(runProgram(L"NOTEPAD.EXE", L"/p C:\\a b.log", true));
    EXPECT_EQ(started, (std::vector<std::wstring>{L"\"C:\\x y\\a.exe\" /c", L"\"C:\\x y\\a.exe\"",
                                                  L"\"Wendaro.exe\" /c", L"\"NOTEPAD.EXE\" /p C:\\a b.log"}));
}

TEST_F(programUtilsTest, commandLinesBeyondTheBufferAreNotStarted)
{
    // "a.exe" in quotes is 7 characters, then a blank and the arguments.
    EXPECT_TRUE(runProgram(L"a.exe", std::wstring(511, L'x'), true));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].size(), 519u);
    EXPECT_FALSE(runProgram(L"a.exe", std::wstring(512, L'x'), true));
    EXPECT_EQ(started.size(), 1u);
}

}  // namespace
