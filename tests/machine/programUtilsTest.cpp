#include "machine/programUtils.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

// A prefix of its own: a start without a window makes a file in its temporary folder.
class programUtilsTest : public prefixTest {
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

TEST_F(programUtilsTest, hiddenProgramsWriteIntoAThrowAwayFile)
{
    setLauncherHook(nullptr);
    // The program writes to its output and its error, then reports where its
    // three standard handles lead and what its input holds by then.
    const std::string report = prefix_.root() + "/report.txt";
    ASSERT_TRUE(writeRawFile(L"C:\\tell.exe", "#!/bin/sh\n"
                                                "echo out\n"
                                                "echo err >&2\n"
                                                "l0=$(readlink /proc/$$/fd/0)\n"
                                                "l1=$(readlink /proc/$$/fd/1)\n"
                                                "l2=$(readlink /proc/$$/fd/2)\n"
                                                "{ echo \"$l0\"; echo \"$l1\"; echo \"$l2\"; cat /proc/$$/fd/0; } > '" +
                                                    report + ".part'\n"
                                                "mv '" + report + ".part' '" + report + "'\n"));
    ASSERT_EQ(::chmod(linuxPathOf(L"C:\\tell.exe").c_str(), 0755), 0);

    ASSERT_TRUE(runProgram(L"C:\\tell.exe", L"", false));
    // Gone as soon as the program has it.
    EXPECT_TRUE(findFiles(tempFolder() + L"\\.TMP*").empty());
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(report); }));

    std::istringstream lines(readRawFile(L"Z:" + std::filesystem::path(report).wstring()).value_or(""));
    const std::string tempFiles = std::filesystem::canonical(linuxPathOf(tempFolder())).string() + "/.TMP";
    std::string handle[3];
    for (std::string& h : handle) {
        std::getline(lines, h);
        h = h.substr(0, h.find(" (deleted)"));
    }
    EXPECT_EQ(handle[0].rfind(tempFiles, 0), 0u) << handle[0];
    EXPECT_EQ(handle[1], handle[0]);
    EXPECT_EQ(handle[2], handle[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(lines), {}), "out\nerr\n");
}

}  // namespace
