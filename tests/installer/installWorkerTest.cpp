// The installation worker in a temporary prefix: what it copies for each
// kind of installation, the parameter backups, the replacement of a running
// driver (a child process holding the driver's mutex, or the real
// Wendaro.exe), the "Cannot copy" question, the shortcuts and the starts.
#include "installer/installWorker.h"
#include "installer/installerNames.h"
#include "installer/parameterBackups.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/messageBoxHook.h"
#include "platform/namedMutex.h"
#include "platform/process.h"
#include "tests/installer/installerFixture.h"
#include "tests/support/childProcess.h"
#include "tests/support/queueWindow.h"
#include "tests/support/waitUntil.h"

#include "platform/codePage.h"
#include "tests/support/scriptedMessageBox.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using namespace installerNames;

namespace {

// A driver program as far as the installer sees one: it holds the mutex and
// closes when the registry value asks it to ("stubborn": never closes).
QVR_CHILD_HELPER(holdDriverMutex)
{
    namedMutex_t mutex(driverMutexName);
    if (!mutex.isValid())
        return 2;
    const bool stubborn = !args.empty() && args[0] == "stubborn";
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end) {
        if (!stubborn && regReadInt(slicerRegistryKey, closeDriverValueName, 0, HKEY_CURRENT_USER) == 1) {
            regWriteInt(slicerRegistryKey, closeDriverValueName, 0, HKEY_CURRENT_USER);
            return 0;
        }
        std::this_thread::sleep_for(10ms);
    }
    return 3;
}

struct workerRun_t {
    std::size_t posts = 0;
    bool startUpdater = false;
    std::wstring status;
};

// The installation as the dialog runs it: the worker to its end, then the
// finish (shortcuts and starts).
workerRun_t runInstallation(installWorker_t& worker, const std::function<void()>& beforeFinish = {})
{
    queueWindow_t window;
    worker.start(window.handle());
    EXPECT_TRUE(waitUntil([&] { return worker.isDone(); }, 60s));
    if (beforeFinish)
        beforeFinish();
    worker.finish();
    return {window.count(), worker.startUpdater(), worker.statusText()};
}

installChoice_t choiceOf(bool updateOnly, bool technician, bool controller, bool driver, bool secondEdition)
{
    installChoice_t choice;
    choice.updateOnly = updateOnly;
    choice.installTechnician = technician;
    choice.installController = controller;
    choice.installDriver = driver;
    choice.secondEdition = secondEdition;
    choice.shortcutFolder = L"Corvanta";
    return choice;
}

std::string newBytes(const std::wstring& name) { return "new " + std::string(name.begin(), name.end()); }

bool isProgram(const std::wstring& name) { return name.size() > 4 && name.substr(name.size() - 4) == L".exe"; }

std::wstring closeValue() { return regReadString(slicerRegistryKey, closeDriverValueName, L"(none)", HKEY_CURRENT_USER); }

using InstallWorkerThreads = installerTest;
using InstallWorkerSlow = installerTest;

struct copyCase_t {
    const char* name;
    installChoice_t choice;
    std::vector<std::wstring> distribution;
    std::vector<std::wstring> copied;
    std::vector<std::wstring> started;
    std::wstring finalStatus;
};

TEST_F(InstallWorkerThreads, CopiesWhatEachInstallationNeeds)
{
    const std::vector<copyCase_t> cases = {
        {"update only", choiceOf(true, false, false, false, false),
         {L"Pevrale.exe", L"Master_Parameters.txt", L"cube.zs"},
         {L"Master_Parameters.txt", L"Pevrale.exe"},
         {L"Wendaro.exe", L"Pevrale.exe"},
         L"Creating Shortcuts..."},
        {"technician", choiceOf(false, true, false, false, false),
         {L"Tovrik.exe", L"Tovrik.chm", L"cube.zs", L"target_test.txt", L"Merolt.chm", L"Ostravel.exe", L"Dorvanel.exe"},
         {L"Ostravel.exe", L"Tovrik.chm", L"Tovrik.exe", L"cube.zs", L"target_test.txt"},
         {L"Wendaro.exe"},
         L"Installing new software..."},
        {"controller", choiceOf(false, false, true, false, false),
         {L"Dorvanel.exe", L"Tovrik.exe", L"Pevrale.exe"},
         {L"Dorvanel.exe", L"Pevrale.exe"},
         {L"Wendaro.exe"},
         L"Installing new software..."},
        // The edition's driver is copied whatever installDriver says.
        {"second edition", choiceOf(false, true, false, false, true),
         {L"Merolt.exe", L"Merolt.chm", L"Tovrik.chm", L"Kilmesh.exe"},
         {L"Kilmesh.exe", L"Merolt.chm", L"Merolt.exe"},
         {L"Kilmesh.exe"},
         L"Installing new software..."},
    };
    for (const copyCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        freshFolders();
        fs::remove_all(linuxPathOf(L"C:\\QVR_Printers"));
        ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/5/Settings/MachineParameters.txt", "parameters"));
        // A read-only installed copy is replaced, and left writable.
        install(masterParametersFileName, "old", 0444);
        for (const std::wstring& name : c.distribution)
            distribute(name, newBytes(name), isProgram(name) ? 0755 : 0644);
        scriptedMessageBox_t noBoxes;
        const size_t startsBefore = starts().size();

        installWorker_t worker(c.choice);
        const workerRun_t run = runInstallation(worker);

        std::vector<std::wstring> expected = c.copied;
        if (std::find(expected.begin(), expected.end(), masterParametersFileName) == expected.end())
            expected.push_back(masterParametersFileName);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(installedNames(), expected);
        for (const std::wstring& name : c.copied) {
            EXPECT_EQ(installed(name), newBytes(name));
            EXPECT_EQ(installedMode(name) & 0200, 0200u);
            if (isProgram(name)) {
                EXPECT_EQ(installedMode(name) & 0111, 0111u);
            }
        }
        if (std::find(c.copied.begin(), c.copied.end(), masterParametersFileName) == c.copied.end()) {
            EXPECT_EQ(installed(masterParametersFileName), "old");
        }

        EXPECT_EQ(fs::exists(linuxPathOf(L"C:/QVR_Printers/5/Backups")), c.choice.updateOnly);
        EXPECT_EQ(run.startUpdater, c.choice.updateOnly);
        EXPECT_EQ(run.status, c.finalStatus);
        EXPECT_EQ(run.posts, 2u);  // the copies' status line and the end
        std::vector<std::wstring> started;
        for (const std::wstring& name : c.started)
            started.push_back(installedStartLine(name));
        const std::vector<std::wstring> all = starts();
        EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<long>(startsBefore), all.end()), started);
    }
}

TEST_F(InstallWorkerThreads, BacksUpEveryMachineFolderUnderTheDayName)
{
    struct nameCase_t {
        const wchar_t* folder;
        int number;
    };
    for (const nameCase_t& c : std::vector<nameCase_t>{{L"12", 12},
                                                        {L"12old", 12},
                                                        {L"12.bak", 12},
                                                        {L".", 0},
                                                        {L"..", 0},
                                                        {L"Backups", 0},
                                                        {L"-3", -3},
                                                        {L"99999999999", 0}})
        EXPECT_EQ(machineNumberOfFolder(c.folder), c.number) << std::string(c.folder, c.folder + wcslen(c.folder));

    const std::wstring root = L"C:/QVR_Printers";
    ASSERT_TRUE(writeRawFile(root + L"/3/Settings/MachineParameters.txt", "machine 3"));
    ASSERT_TRUE(writeRawFile(root + L"/12/Settings/MachineParameters.txt", "machine 12"));
    ASSERT_TRUE(writeRawFile(root + L"/QVR_SHARE/Settings/MachineParameters.txt", "not a machine"));
    ASSERT_TRUE(writeRawFile(root + L"/Wendaro.log", "log"));
    fs::create_directories(linuxPathOf(root + L"/7"));  // no parameters file yet

    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 8;
    day.tm_hour = 10;
    const std::time_t when = timegm(&day);
    backupParameterFiles(when);
    backupParameterFiles(when);

    for (const wchar_t* machine : {L"3", L"12"}) {
        const std::wstring backups = root + L"/" + machine + L"/Backups/";
        const std::string expected = "machine " + std::string(machine, machine + wcslen(machine));
        EXPECT_EQ(readRawFile(backups + L"08Dec26.txt"), expected);
        EXPECT_EQ(readRawFile(backups + L"08Dec26_2.txt"), expected);
        EXPECT_FALSE(readRawFile(backups + L"08Dec26_3.txt"));
    }
    EXPECT_TRUE(fs::is_directory(linuxPathOf(root + L"/7/Backups")));
    EXPECT_TRUE(fs::is_empty(linuxPathOf(root + L"/7/Backups")));
    EXPECT_FALSE(fs::exists(linuxPathOf(root + L"/QVR_SHARE/Backups")));
}

TEST_F(InstallWorkerThreads, ClosesTheRunningDriverBeforeReplacingIt)
{
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "driver running" : "no driver running");
        regDeleteValue(slicerRegistryKey, closeDriverValueName, HKEY_CURRENT_USER);
        install(driverFile, "old driver");
        distribute(driverFile, "new driver", 0755);
        childProcess_t driver;
        if (running) {
            ASSERT_TRUE(driver.start("holdDriverMutex"));
            ASSERT_TRUE(waitUntil([] { return namedMutexExists(driverMutexName); }, 30s));
        }
        const size_t startsBefore = starts().size();

        installWorker_t worker(choiceOf(false, false, false, true, false));
        const workerRun_t run = runInstallation(worker);

        if (running) {
            EXPECT_EQ(driver.wait(30s), std::optional<int>(0));  // it saw the request
            EXPECT_EQ(closeValue(), L"0");
        } else {
            // Nobody to ask: the value is never written.
            EXPECT_EQ(closeValue(), L"(none)");
        }
        EXPECT_EQ(installed(driverFile), "new driver");
        EXPECT_EQ(installedMode(driverFile) & 0111, 0111u);
        EXPECT_EQ(installedNames(), std::vector<std::wstring>{driverFile});  // the old file is gone
        EXPECT_EQ(run.posts, 3u);  // closing, installing, the end
        const std::vector<std::wstring> all = starts();
        EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<long>(startsBefore), all.end()),
                  (std::vector<std::wstring>{closeRequestLine(driverFile), installedStartLine(driverFile)}));
    }
}

TEST_F(InstallWorkerSlow, ADriverThatDoesNotCloseIsNotAwaitedForEver)
{
    install(driverFile, "old driver");
    distribute(driverFile, "new driver", 0755);
    childProcess_t driver;
    ASSERT_TRUE(driver.start("holdDriverMutex", {"stubborn"}));
    ASSERT_TRUE(waitUntil([] { return namedMutexExists(driverMutexName); }, 30s));

    installWorker_t worker(choiceOf(false, false, false, true, false));
    runInstallation(worker);

    EXPECT_FALSE(driver.wait(0ms));  // still running
    EXPECT_EQ(closeValue(), L"1");
    EXPECT_EQ(installed(driverFile), "new driver");
    EXPECT_EQ(installedNames(), std::vector<std::wstring>{driverFile});
}

struct cannotCopyCase_t {
    const char* name;
    installChoice_t choice;
    std::wstring failing;  // the file whose copy fails
    std::vector<int> answers;
    bool fixOnFirstQuestion;  // the obstacle goes before the first answer
    std::vector<std::wstring> installedAfter;
    std::vector<std::wstring> started;
};

TEST_F(InstallWorkerThreads, AsksToRetryAFailedCopyAndKeepsTheOldDriverOnCancel)
{
    const std::vector<cannotCopyCase_t> cases = {
        // The distribution's driver cannot be read: Retry fails again, Cancel
        // abandons the copies; the old driver stays and is the one started.
        {"driver copy cancelled", choiceOf(true, false, false, true, false), L"Wendaro.exe", {IDRETRY, IDCANCEL}, false,
         {L"Wendaro.exe"}, {L"Wendaro.exe"}},
        // The installed updater is blocked by a folder until the first Retry.
        {"retry succeeds", choiceOf(true, false, false, false, false), L"Pevrale.exe", {IDRETRY}, true,
         {L"Master_Parameters.txt", L"Pevrale.exe"}, {L"Wendaro.exe", L"Pevrale.exe"}},
    };
    for (const cannotCopyCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        freshFolders();
        fs::remove_all(linuxPathOf(startMenuFolder));
        fs::create_directories(linuxPathOf(startMenuFolder));
        distribute(updaterFile, newBytes(updaterFile), 0755);
        distribute(masterParametersFileName, newBytes(masterParametersFileName));
        std::string obstacle;
        if (c.failing == driverFile) {
            install(driverFile, "old driver");
            fs::create_directories(linuxPathOf(L"C:\\dist\\Wendaro.exe"));
        } else {
            obstacle = linuxPathOf(std::wstring(slicerFolder) + L"\\" + c.failing);
            fs::create_directories(obstacle);
        }

        std::mutex lock;
        std::vector<shownBox_t> boxes;
        setMessageBoxHook([&](HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
            std::lock_guard<std::mutex> guard(lock);
            if (boxes.empty() && c.fixOnFirstQuestion)
                fs::remove_all(obstacle);
            const int answer = boxes.size() < c.answers.size() ? c.answers[boxes.size()] : IDCANCEL;
            boxes.push_back({owner, text, caption, style, answer, true});
            return answer;
        });
        const size_t startsBefore = starts().size();
        installWorker_t worker(c.choice);
        const workerRun_t run = runInstallation(worker);
        setMessageBoxHook({});

        ASSERT_EQ(boxes.size(), c.answers.size());
        for (const shownBox_t& box : boxes) {
            EXPECT_EQ(box.text, L"Cannot copy " + c.failing +
                                    L". Close this program if it's open, and retry.\r\nError: Access is denied.\r\n");
            EXPECT_EQ(box.caption, L"Fennicot");
            EXPECT_EQ(box.style, 53u);
        }
        EXPECT_EQ(installedNames(), c.installedAfter);
        const bool cancelled = c.answers.back() == IDCANCEL;
        if (c.failing == driverFile) {
            EXPECT_EQ(installed(driverFile), "old driver");
        } else {
            EXPECT_EQ(installed(c.failing), newBytes(c.failing));
        }
        EXPECT_EQ(run.startUpdater, !cancelled);
        // The shortcuts are made in any case.
        EXPECT_TRUE(fs::exists(linuxPathOf(std::wstring(startMenuFolder) + L"\\Embedded Update.lnk")));
        std::vector<std::wstring> started;
        if (c.choice.installDriver)
            started.push_back(closeRequestLine(driverFile));
        for (const std::wstring& name : c.started)
            started.push_back(installedStartLine(name));
        const std::vector<std::wstring> all = starts();
        EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<long>(startsBefore), all.end()), started);
    }
}

struct shortcutCase_t {
    const char* name;
    installChoice_t choice;
    bool startMenuExists;
    // Link name, target program, description; in the Start menu and on the desktop.
    std::vector<std::array<std::wstring, 3>> startMenu;
    std::vector<std::array<std::wstring, 3>> desktop;
};

std::vector<std::wstring> namesIn(const std::string& folder)
{
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(utf8ToWide(entry.path().filename().string()));
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(InstallWorkerThreads, MakesShortcutsAsTextLinkFiles)
{
    const std::array<std::wstring, 3> update = {L"Embedded Update.lnk", L"Pevrale.exe",
                                                L"Update the 3D printer's embedded software"};
    const std::wstring technicians = L"Application for 3D printer technicians";
    const std::vector<shortcutCase_t> cases = {
        {"update only", choiceOf(true, false, false, false, false), true, {update}, {}},
        {"technician", choiceOf(false, true, false, true, false), true,
         {update, {L"Tovrik.lnk", L"Tovrik.exe", technicians}}, {{L"Tovrik.lnk", L"Tovrik.exe", technicians}}},
        {"second edition with the controller", choiceOf(false, true, true, false, true), true,
         {update,
          {L"Merolt.lnk", L"Merolt.exe", technicians},
          {L"Dorvanel.lnk", L"Dorvanel.exe", L"Advanced application for 3D printer technicians"}},
         {{L"Merolt.lnk", L"Merolt.exe", technicians},
          {L"Dorvanel.lnk", L"Dorvanel.exe", L"Advanced application for 3D printer technicians"}}},
        // The Start-menu folder is not created: those links are skipped silently.
        {"no Start-menu folder", choiceOf(false, true, false, false, false), false, {},
         {{L"Tovrik.lnk", L"Tovrik.exe", technicians}}},
    };
    for (const shortcutCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(linuxPathOf(startMenuFolder));
        fs::remove_all(linuxPathOf(desktopFolder));
        fs::create_directories(linuxPathOf(desktopFolder));
        if (c.startMenuExists)
            fs::create_directories(linuxPathOf(startMenuFolder));
        scriptedMessageBox_t noBoxes;

        installWorker_t(c.choice).createShortcuts();

        auto check = [](const std::wstring& folder, const std::vector<std::array<std::wstring, 3>>& links) {
            std::vector<std::wstring> expectedNames;
            for (const auto& link : links) {
                expectedNames.push_back(link[0]);
                const std::string target = wideToUtf8(std::wstring(slicerFolder) + L"/" + link[1]);
                EXPECT_EQ(readRawFile(folder + L"\\" + link[0]),
                          "[Link]\r\nTarget=" + target + "\r\nDescription=" + wideToUtf8(link[2]) + "\r\n");
            }
            std::sort(expectedNames.begin(), expectedNames.end());
            EXPECT_EQ(namesIn(linuxPathOf(folder)), expectedNames);
        };
        if (c.startMenuExists) {
            check(startMenuFolder, c.startMenu);
        } else {
            EXPECT_FALSE(fs::exists(linuxPathOf(startMenuFolder)));
        }
        check(desktopFolder, c.desktop);
    }
}

// The real driver program: started from the installation folder on a free
// port, closed by the installer's request and replaced by the
// distribution's copy, which the installer starts at the end.
TEST_F(InstallWorkerThreads, ReplacesARunningWendaroExe)
{
    const std::string program = builtProgram("Wendaro.exe");
    if (program.empty()) {
        if (std::getenv("QVR_BUILD_BIN") != nullptr)
            FAIL() << "Wendaro.exe is not built";
        GTEST_SKIP() << "Wendaro.exe is not built";
    }
    std::ifstream in(program, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    install(driverFile, bytes, 0755);
    distribute(driverFile, bytes, 0755);
    regDeleteValue(slicerRegistryKey, closeDriverValueName, HKEY_CURRENT_USER);

    const std::string installedProgram = linuxPathOf(std::wstring(slicerFolder) + L"\\" + driverFile);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {installedProgram, "--port", "0", "--quiet"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, installedProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    int status = -1;
    auto ended = [&] { return ::waitpid(pid, &status, WNOHANG) == pid; };
    ASSERT_TRUE(waitUntil([] { return namedMutexExists(driverMutexName); }, 30s));

    // The worker's "/c" start is real: the distribution's Wendaro.exe asks
    // the running one to close. The starts at the end are only recorded.
    recordStarts(false);
    installWorker_t worker(choiceOf(false, false, false, true, false));
    const size_t startsBefore = starts().size();
    runInstallation(worker, [this] { recordStarts(true); });

    const bool exited = waitUntil(ended, 30s);
    if (!exited) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(exited);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(namedMutexExists(driverMutexName));
    EXPECT_EQ(closeValue(), L"0");  // cleared by the driver on its way out
    EXPECT_EQ(installed(driverFile), bytes);
    EXPECT_EQ(installedMode(driverFile) & 0111, 0111u);
    EXPECT_EQ(installedNames(), std::vector<std::wstring>{driverFile});
    const std::vector<std::wstring> all = starts();
    EXPECT_EQ(std::vector<std::wstring>(all.begin() + static_cast<long>(startsBefore), all.end()),
              std::vector<std::wstring>{installedStartLine(driverFile)});
}

}  // namespace
