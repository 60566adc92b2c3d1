#include "platform/codePage.h"
#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/support/childProcess.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Writes the command line this process reads back to C:\commandLine.txt.
QVR_CHILD_HELPER(recordOwnCommandLine) {
    std::vector<std::string> text = {"/proc/self/exe", "--qvr-child", "recordOwnCommandLine"};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& t : text) argv.push_back(t.data());
    initProcessCommandLine(static_cast<int>(argv.size()), argv.data());
    const bool handedOn = std::getenv(commandLineVariable) != nullptr;
    return writeRawFile(L"C:\\commandLine.txt", wideToUtf8(processCommandLine())) && !handedOn ? 0 : 1;
}

// A program of ours that never reads its command line: starts a shell,
// by other means than the platform, that writes what it inherited of the
// command line text to C:\passedOn.txt.
QVR_CHILD_HELPER(passOnEnvironment) {
    const auto file = resolvePath(L"C:\\passedOn.txt");
    const std::string script =
        "printf %s \"${" + std::string(commandLineVariable) + "-none}\" > '" + file.value_or("") + "'";
    return file && std::system(script.c_str()) == 0 ? 0 : 1;
}

TEST(CommandLine, parsedWithTheRunTimeRules) {
    struct row_t {
        const wchar_t* line;
        std::vector<std::wstring> args;
    };
    const row_t rows[] = {
        {L"\"C:\\Program Files\\p.exe\" 3", {L"C:\\Program Files\\p.exe", L"3"}},
        {L"p.exe /I 2", {L"p.exe", L"/I", L"2"}},
        {L"\"C:\\x y\\a.exe\" /c", {L"C:\\x y\\a.exe", L"/c"}},
        {L"\"C:\\Windows/NOTEPAD.EXE\" /p C:\\QVR Printers\\12\\Daily_Logs\\08Dec26.LOG",
         {L"C:\\Windows/NOTEPAD.EXE", L"/p", L"C:\\QVR", L"Printers\\12\\Daily_Logs\\08Dec26.LOG"}},
        {L"a.exe \"a b\" c\\d \"e\\\"f\" g\\\\\"h i\" \"\"", {L"a.exe", L"a b", L"c\\d", L"e\"f", L"g\\h i", L""}},
        {L"a.exe \"x\\\\\" y", {L"a.exe", L"x\\", L"y"}},         // an even run of backslashes before a quote
        {L"a.exe \"say \"\"hi\"\"\"", {L"a.exe", L"say \"hi\""}},  // "" inside quotes
        {L"C:\\dir\\prog.exe\t\targ", {L"C:\\dir\\prog.exe", L"arg"}},
        {L"\"unterminated program", {L"unterminated program"}},
        {L"", {}},
    };
    for (const auto& r : rows) EXPECT_EQ(parseCommandLine(r.line), r.args) << fs::path(r.line).string();
}

TEST(CommandLine, quotedArgumentsParseBackUnchanged) {
    const std::vector<std::wstring> args = {L"plain", L"with blank", L"", L"quote\"inside", L"trail\\", L"trail blank\\",
                                            L"\\\\server\\x", L"tab\tin", L"back\\\\\"slash", L"\u00B5m"};
    std::wstring line = L"\"C:\\Program Files\\p.exe\"";
    for (const auto& a : args) line += L" " + quoteArgument(a);
    auto parsed = parseCommandLine(line);
    ASSERT_FALSE(parsed.empty());
    EXPECT_EQ(parsed.front(), L"C:\\Program Files\\p.exe");
    parsed.erase(parsed.begin());
    EXPECT_EQ(parsed, args);
    EXPECT_EQ(quoteArgument(L"plain"), L"plain");
    EXPECT_EQ(quoteArgument(L"a b"), L"\"a b\"");
}

class ProcessTest : public prefixTest {
protected:
    void TearDown() override { setLauncherHook(nullptr); }

    // A small program under a Windows name: a shell script that records
    // its arguments and current folder in a file.
    void makeProgram(const std::wstring& systemPath, const std::string& recordTo) {
        ASSERT_TRUE(writeRawFile(systemPath, "#!/bin/sh\npwd -P > '" + recordTo + "'\necho \"sid=$(cut -d' ' -f6 /proc/$$/stat)\" >> '" + recordTo +
                                                 "'\nfor a in \"$@\"; do echo \"[$a]\" >> '" + recordTo +
                                                 "'; done\n"));
        ASSERT_EQ(::chmod(linuxPathOf(systemPath).c_str(), 0755), 0);
    }
};

TEST_F(ProcessTest, startsAProgramByItsSystemPathWithTheParsedArguments) {
    const std::string record = prefix_.root() + "/record.txt";
    makeProgram(L"C:\\Program Files\\Corvanta\\Ondrel\\Wendaro.exe", record);
    ASSERT_TRUE(createDirectory(L"C:\\work"));
    ASSERT_TRUE(setCurrentFolder(L"C:\\work"));
    int pid = 0;
    ASSERT_TRUE(startProcess(L"\"C:\\Program Files\\Corvanta\\Ondrel/Wendaro.EXE\" /c \"two words\" x\\\"y", &pid));
    EXPECT_GT(pid, 0);
    ASSERT_TRUE(waitUntil([&] {
        const auto text = readRawFile(L"Z:" + fs::path(record).wstring());
        return text && text->find("[x\"y]") != std::string::npos;
    }));
    const std::string text = readRawFile(L"Z:" + fs::path(record).wstring()).value_or("");
    // In its own session (it is the leader: session id = its pid), in our current folder.
    EXPECT_EQ(text, fs::canonical(prefix_.driveC()).string() + "/work\nsid=" + std::to_string(pid) +
                        "\n[/c]\n[two words]\n[x\"y]\n");
    // Ours, so reaped: no zombie stays behind.
    EXPECT_TRUE(waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
}

TEST_F(ProcessTest, bareNamesAreSearchedInTheProgramsFolderThenTheCurrentFolder) {
    const std::string record = prefix_.root() + "/bare.txt";
    ASSERT_TRUE(createDirectory(L"C:\\dist"));
    ASSERT_TRUE(setCurrentFolder(L"C:\\dist"));
    makeProgram(L"C:\\dist\\Wendaro.exe", record);
    const std::string found = findProgram(L"wendaro.EXE");
    EXPECT_EQ(found, prefix_.driveC() + "/dist/Wendaro.exe");
    EXPECT_EQ(findProgram(L"Wendaro"), found);  // ".exe" added to a name without extension
    const std::string shell = findProgram(L"sh");  // a Linux program from PATH
    EXPECT_EQ(shell.substr(shell.size() - 3), "/sh");
    // A copy in the Windows folder is found only when the current folder has none.
    makeProgram(windowsFolder() + L"\\Pevrale.exe", record);
    EXPECT_EQ(findProgram(L"Pevrale.exe"), prefix_.driveC() + "/Windows/Pevrale.exe");
    makeProgram(L"C:\\dist\\Pevrale.exe", record);
    EXPECT_EQ(findProgram(L"Pevrale.exe"), prefix_.driveC() + "/dist/Pevrale.exe");

    ASSERT_TRUE(startProcess(L"\"Wendaro.exe\" /c"));
    EXPECT_TRUE(waitUntil([&] { return readRawFile(L"Z:" + fs::path(record).wstring()).value_or("").find("[/c]") != std::string::npos; }));
}

TEST_F(ProcessTest, refusesMissingProgramsAndOverlongCommandLines) {
    makeProgram(L"C:\\p.exe", prefix_.root() + "/long.txt");
    setLastError(0);
    EXPECT_FALSE(startProcess(L"\"C:\\missing\\Wendaro.EXE\""));
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(writeRawFile(L"C:\\notexec.exe", "data"));
    EXPECT_FALSE(startProcess(L"\"C:\\notexec.exe\""));
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);

    const std::wstring head = L"\"C:\\p.exe\" ";
    const std::wstring fits = head + std::wstring(519 - head.size(), L'a');
    const std::wstring over = fits + L"a";
    ASSERT_EQ(fits.size(), 519u);
    EXPECT_TRUE(startProcess(fits));
    setLastError(0);
    EXPECT_FALSE(startProcess(over));
    EXPECT_EQ(getLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(waitUntil([&] { return fs::exists(prefix_.root() + "/long.txt"); }));
}

TEST_F(ProcessTest, aStartedProgramReadsBackTheCommandLineItsParentWrote) {
    const std::wstring self = L"\"" + toSystemPath(fs::read_symlink("/proc/self/exe").string()) + L"\"";
    const std::wstring helper = L" --qvr-child recordOwnCommandLine ";
    const std::wstring tails[] = {
        L"/p C:\\Machine Logs\\My  Daily.LOG",
        L"  C:\\a   b\\\t\"two  quoted\"  back\\\\\"sl ash\" \u00b5m  100%  ",
    };
    for (const std::wstring& tail : tails) {
        deleteFile(L"C:\\commandLine.txt");
        const std::wstring line = self + helper + tail;
        int pid = 0;
        ASSERT_TRUE(startProcess(line, &pid));
        ASSERT_TRUE(waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
        EXPECT_EQ(readRawFile(L"C:\\commandLine.txt"), std::optional<std::string>(wideToUtf8(line)));
    }
    // A text inherited from further up does not describe a program started
    // by other means: its line is rebuilt from its arguments.
    ::setenv(commandLineVariable, "\"C:\\elsewhere.exe\" --qvr-child recordOwnCommandLine other", 1);
    childProcess_t child;
    ASSERT_TRUE(child.start("recordOwnCommandLine", {"a  b"}));
    ::unsetenv(commandLineVariable);
    EXPECT_EQ(child.wait(), std::optional<int>(0));
    EXPECT_EQ(readRawFile(L"C:\\commandLine.txt"),
              std::optional<std::string>(wideToUtf8(L"\"" + toSystemPath("/proc/self/exe") +
                                                    L"\" --qvr-child recordOwnCommandLine \"a  b\"")));
    // Nor does a text written for another program started with the same
    // arguments, here a launcher that passes its environment on.
    const std::string ownProgram = fs::read_symlink("/proc/self/exe").string();
    ASSERT_TRUE(writeRawFile(L"C:\\launch.exe", "#!/bin/sh\nexec '" + ownProgram + "' \"$@\"\n"));
    ASSERT_EQ(::chmod(linuxPathOf(L"C:\\launch.exe").c_str(), 0755), 0);
    deleteFile(L"C:\\commandLine.txt");
    int pid = 0;
    ASSERT_TRUE(startProcess(L"\"C:\\launch.exe\"" + helper.substr(0, helper.size() - 1), &pid));
    ASSERT_TRUE(waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
    EXPECT_EQ(readRawFile(L"C:\\commandLine.txt"),
              std::optional<std::string>(wideToUtf8(L"\"" + toSystemPath("/proc/self/exe") +
                                                    L"\" --qvr-child recordOwnCommandLine")));
    // A program that never reads the text still keeps it from what it starts.
    ASSERT_TRUE(startProcess(self + L" --qvr-child passOnEnvironment", &pid));
    ASSERT_TRUE(waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
    EXPECT_EQ(readRawFile(L"C:\\passedOn.txt"), std::optional<std::string>("none"));
}

TEST_F(ProcessTest, standardHandlesCanShareOneFile) {
    ASSERT_TRUE(writeRawFile(L"C:\\talk.exe", "#!/bin/sh\necho out\necho err >&2\n"
                                               "[ /proc/$$/fd/0 -ef /proc/$$/fd/1 ] && echo 'same input'\n"));
    ASSERT_EQ(::chmod(linuxPathOf(L"C:\\talk.exe").c_str(), 0755), 0);
    // A file that exists is emptied first.
    ASSERT_TRUE(writeRawFile(L"C:\\std.txt", "left from before, longer than what follows\n"));
    int pid = 0;
    ASSERT_TRUE(startProcessWithStandardFile(L"\"C:\\talk.exe\"", L"C:\\std.txt", &pid));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
    EXPECT_EQ(readRawFile(L"C:\\std.txt"), std::optional<std::string>("out\nerr\nsame input\n"));
    EXPECT_FALSE(startProcessWithStandardFile(L"\"C:\\talk.exe\"", L"C:\\no\\such\\std.txt"));
}

TEST_F(ProcessTest, launcherHookRecordsInsteadOfStarting) {
    std::vector<std::wstring> started;
    setLauncherHook([&](const std::wstring& line) {
        started.push_back(line);
        return line.find(L"Pevrale") == std::wstring::npos;
    });
    int pid = -1;
    EXPECT_TRUE(startProcess(L"\"C:\\nowhere\\Wendaro.EXE\"", &pid));
    EXPECT_EQ(pid, 0);
    EXPECT_FALSE(startProcess(L"\"C:\\nowhere\\Pevrale.exe\""));
    EXPECT_EQ(started, (std::vector<std::wstring>{L"\"C:\\nowhere\\Wendaro.EXE\"", L"\"C:\\nowhere\\Pevrale.exe\""}));
    setLauncherHook(nullptr);
    EXPECT_FALSE(startProcess(L"\"C:\\nowhere\\Wendaro.EXE\""));
}

TEST_F(ProcessTest, ownCommandLineIsRebuiltFromArgv) {
    ASSERT_TRUE(writeRawFile(L"C:\\Program Files\\Tovrik.exe", ""));
    const std::string exe = prefix_.driveC() + "/Program Files/Tovrik.exe";
    std::string a0 = exe;
    std::string a1 = "/I";
    std::string a2 = "two words";
    char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    initProcessCommandLine(3, argv);
    EXPECT_EQ(processCommandLine(), L"\"C:\\Program Files\\Tovrik.exe\" /I \"two words\"");
    EXPECT_EQ(programPath(), L"C:\\Program Files\\Tovrik.exe");
    const auto args = parseCommandLine(processCommandLine());
    EXPECT_EQ(args, (std::vector<std::wstring>{L"C:\\Program Files\\Tovrik.exe", L"/I", L"two words"}));

    // Back to the real program, for the tests that follow.
    std::string self = fs::read_symlink("/proc/self/exe").string();
    char* own[] = {self.data(), nullptr};
    initProcessCommandLine(1, own);
    EXPECT_EQ(programPath(), toSystemPath(self));
}

}  // namespace
