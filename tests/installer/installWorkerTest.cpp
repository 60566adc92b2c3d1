// The installation worker in a temporary prefix: what it copies for each
// kind of installation, the parameter backups, the replacement of a running
// driver (a child process holding the driver's mutex, and the real
// Wendaro.exe), the "Cannot copy" question, the shortcuts and the starts.
#include "installer/installWorker.h"
#include "installer/installerNames.h"
#include "installer/parameterBackups.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "machine/registryUtils.h"
#include "platform/codePage.h"
#include "platform/messageBoxHook.h"
#include "platform/namedMutex.h"
#include "platform/process.h"
#include "tests/installer/installerFixture.h"
#include "tests/support/childProcess.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace installerNames;

namespace {

// A driver program as the installer sees one: it holds the mutex and closes
// when the registry value asks it to, clearing the value.
QVR_CHILD_HELPER(holdDriverMutex) {
    namedMutex_t mutex(driverMutexName);
    for (int i = 0; mutex.isValid() && i < 6000; ++i) {
        if (regReadInt(slicerRegistryKey, closeDriverValueName, 0, HKEY_CURRENT_USER) == 1)
            return regWriteInt(slicerRegistryKey, closeDriverValueName, 0, HKEY_CURRENT_USER) ? 0 : 4;
        std::this_thread::sleep_for(10ms);
    }
    return 3;
}

// The installation as the dialog runs it: the worker to its end, then the
// finish (shortcuts and starts). The number of WM_APP posts.
std::size_t runInstallation(installWorker_t& worker, const std::function<void()>& beforeFinish = {}) {
    queueWindow_t window;
    worker.start(window.handle());
    EXPECT_TRUE(waitUntil([&] { return worker.isDone(); }, 60s));
    if (beforeFinish)
        beforeFinish();
    worker.finish();
    return window.count();
}

installChoice_t choiceOf(const std::string& flags) {
    installChoice_t choice;
    choice.updateOnly = flags.find('U') != std::string::npos;
    choice.installTechnician = flags.find('T') != std::string::npos;
    choice.installController = flags.find('C') != std::string::npos;
    choice.installDriver = flags.find('D') != std::string::npos;
    choice.secondEdition = flags.find('2') != std::string::npos;
    choice.shortcutFolder = L"Corvanta";
    return choice;
}

std::string newBytes(const std::wstring& name) {
    return "new " + wideToUtf8(name);
}
bool isProgram(const std::wstring& name) {
    return name.size() > 4 && name.substr(name.size() - 4) == L".exe";
}
std::wstring closeValue() {
    return regReadString(slicerRegistryKey, closeDriverValueName, L"(none)", HKEY_CURRENT_USER);
}

using InstallWorkerThreads = installerTest;

struct copyCase_t {
    std::string flags; // U update only, T technician, C controller, D driver, 2 second edition
    std::vector<std::wstring> distribution;
    std::vector<std::wstring> copied;
    std::vector<std::wstring> started;
    std::wstring finalStatus;
};

TEST_F(InstallWorkerThreads, CopiesWhatEachInstallationNeeds) {
    const std::vector<copyCase_t> cases = {
        {"U",
         {L"Pevrale.exe", L"Master_Parameters.txt", L"cube.zs"},
         {L"Master_Parameters.txt", L"Pevrale.exe"},
         {L"Wendaro.exe", L"Pevrale.exe"},
         L"Creating Shortcuts..."},
        {"T",
         {L"Tovrik.exe", L"Tovrik.chm", L"cube.zs", L"target_test.txt", L"Merolt.chm", L"Ostravel.exe",
          L"Dorvanel.exe"},
         {L"Ostravel.exe", L"Tovrik.chm", L"Tovrik.exe", L"cube.zs", L"target_test.txt"},
         {L"Wendaro.exe"},
         L"Installing new software..."},
        {"C",
         {L"Dorvanel.exe", L"Tovrik.exe", L"Pevrale.exe"},
         {L"Dorvanel.exe", L"Pevrale.exe"},
         {L"Wendaro.exe"},
         L"Installing new software..."},
        // The edition's driver is copied whatever installDriver says.
        {"T2",
         {L"Merolt.exe", L"Merolt.chm", L"Tovrik.chm", L"Kilmesh.exe"},
         {L"Kilmesh.exe", L"Merolt.chm", L"Merolt.exe"},
         {L"Kilmesh.exe"},
         L"Installing new software..."},
    };
    for (const copyCase_t& c : cases) {
        SCOPED_TRACE(c.flags);
        freshFolders();
        fs::remove_all(linuxPathOf(L"C:\\QVR_Printers"));
        ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/5/Settings/MachineParameters.txt", "parameters"));
        // A read-only installed copy is replaced, and left writable.
        install(masterParametersFileName, "old", 0444);
        for (const std::wstring& name : c.distribution)
            distribute(name, newBytes(name), isProgram(name) ? 0755 : 0644);
        scriptedMessageBox_t noBoxes;
        const std::size_t startsBefore = starts().size();

        installWorker_t worker(choiceOf(c.flags));
        EXPECT_EQ(runInstallation(worker), 2u); // the copies' status line and the end

        std::vector<std::wstring> expected = c.copied;
        if (std::find(expected.begin(), expected.end(), masterParametersFileName) == expected.end()) {
            expected.push_back(masterParametersFileName);
            EXPECT_EQ(installed(masterParametersFileName), "old");
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(installedNames(), expected);
        for (const std::wstring& name : c.copied) {
            EXPECT_EQ(installed(name), newBytes(name));
            EXPECT_EQ(installedMode(name), isProgram(name) ? 0755u : 0644u);
        }
        EXPECT_EQ(fs::exists(linuxPathOf(L"C:/QVR_Printers/5/Backups")), worker.choice().updateOnly);
        EXPECT_EQ(worker.startUpdater(), worker.choice().updateOnly);
        EXPECT_EQ(worker.statusText(), c.finalStatus);
        std::vector<std::wstring> started;
        for (const std::wstring& name : c.started)
            started.push_back(installedStartLine(name));
        EXPECT_EQ(startsSince(startsBefore), started);
    }
}

TEST_F(InstallWorkerThreads, BacksUpEveryMachineFolderUnderTheDayName) {
    for (const auto& [folder, number] : std::vector<std::pair<std::wstring, int>>{{L"12", 12},
                                                                                  {L"12old", 12},
                                                                                  {L"12.bak", 12},
                                                                                  {L".", 0},
                                                                                  {L"..", 0},
                                                                                  {L"Backups", 0},
                                                                                  {L"99999999999", 0}})
        EXPECT_EQ(machineNumberOfFolder(folder), number) << wideToUtf8(folder);

    const std::wstring root = L"C:/QVR_Printers";
    ASSERT_TRUE(writeRawFile(root + L"/3/Settings/MachineParameters.txt", "machine 3"));
    ASSERT_TRUE(writeRawFile(root + L"/12/Settings/MachineParameters.txt", "machine 12"));
    ASSERT_TRUE(writeRawFile(root + L"/QVR_SHARE/Settings/MachineParameters.txt", "not a machine"));
    ASSERT_TRUE(writeRawFile(root + L"/Wendaro.log", "log"));
    fs::create_directories(linuxPathOf(root + L"/7")); // no parameters file yet

    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 8;
    day.tm_hour = 10;
    backupParameterFiles(timegm(&day));
    backupParameterFiles(timegm(&day));

    for (const std::wstring machine : {L"3", L"12"}) {
        const std::wstring backups = root + L"/" + machine + L"/Backups/";
        EXPECT_EQ(readRawFile(backups + L"08Dec26.txt"), "machine " + wideToUtf8(machine));
        EXPECT_EQ(readRawFile(backups + L"08Dec26_2.txt"), "machine " + wideToUtf8(machine));
        EXPECT_FALSE(readRawFile(backups + L"08Dec26_3.txt"));
    }
    EXPECT_TRUE(fs::is_empty(linuxPathOf(root + L"/7/Backups")));
    EXPECT_FALSE(fs::exists(linuxPathOf(root + L"/QVR_SHARE/Backups")));
}

// The driver step against no driver, a child process holding the driver's
// mutex, and the real Wendaro.exe started from the installation folder on a
// free port (whose "/c" start by the worker is then real too).
TEST_F(InstallWorkerThreads, ClosesTheRunningDriverBeforeReplacingIt) {
    const std::string wendaro = builtProgram("Wendaro.exe");
    if (wendaro.empty())
        ADD_FAILURE() << "Wendaro.exe is not built";
    std::ifstream in(wendaro, std::ios::binary);
    const std::string program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::string driver : {"none", "child", "Wendaro.exe"}) {
        if (driver == "Wendaro.exe" && wendaro.empty())
            continue;
        SCOPED_TRACE(driver);
        const bool real = driver == "Wendaro.exe";
        const std::string newDriver = real ? program : "new driver";
        regDeleteValue(slicerRegistryKey, closeDriverValueName, HKEY_CURRENT_USER);
        install(driverFile, real ? program : "old driver");
        distribute(driverFile, newDriver, 0755);
        // However the test ends, no driver outlives it.
        const std::shared_ptr<void> closeAtEnd(nullptr, [](void*) {
            if (namedMutexExists(driverMutexName)) {
                regWriteInt(slicerRegistryKey, closeDriverValueName, 1, HKEY_CURRENT_USER);
                waitUntil([] { return !namedMutexExists(driverMutexName); }, 30s);
            }
        });
        childProcess_t child;
        if (driver == "child") {
            ASSERT_TRUE(child.start("holdDriverMutex"));
        }
        if (real) {
            recordStarts(false);
            ASSERT_TRUE(
                startProcess(buildCommandLine(std::wstring(slicerFolder) + L"/" + driverFile, L"--port 0")));
        }
        if (driver != "none") {
            ASSERT_TRUE(waitUntil([] { return namedMutexExists(driverMutexName); }, 30s));
        }
        const std::size_t startsBefore = starts().size();

        installWorker_t worker(choiceOf("D"));
        EXPECT_EQ(runInstallation(worker, [this] { recordStarts(true); }),
                  3u); // closing, installing, the end

        EXPECT_FALSE(namedMutexExists(driverMutexName));
        // The driver clears the value on its way out; with no driver it is never written.
        EXPECT_EQ(closeValue(), driver == "none" ? L"(none)" : L"0");
        EXPECT_EQ(installed(driverFile), newDriver);
        EXPECT_EQ(installedNames(), std::vector<std::wstring>{driverFile}); // the old file is gone
        std::vector<std::wstring> started = {installedStartLine(driverFile)};
        if (!real)
            started.insert(started.begin(), closeRequestLine(driverFile));
        EXPECT_EQ(startsSince(startsBefore), started);
    }
}

TEST_F(InstallWorkerThreads, AsksToRetryAFailedCopyAndKeepsTheOldDriverOnCancel) {
    struct case_t {
        std::wstring failing;
        std::vector<int> answers;
        std::vector<std::wstring> installedAfter;
    };
    for (const case_t& c : std::vector<case_t>{
             // The distribution's driver cannot be read: Retry fails again, and
             // Cancel abandons the copies; the old driver stays, is started.
             {L"Wendaro.exe", {IDRETRY, IDCANCEL}, {L"Wendaro.exe"}},
             // The installed updater is blocked by a folder until the Retry.
             {L"Pevrale.exe", {IDRETRY}, {L"Master_Parameters.txt", L"Pevrale.exe", L"Wendaro.exe"}},
         }) {
        SCOPED_TRACE(wideToUtf8(c.failing));
        freshFolders();
        distribute(updaterFile, newBytes(updaterFile), 0755);
        distribute(masterParametersFileName, newBytes(masterParametersFileName));
        install(driverFile, "old driver");
        const std::string obstacle =
            linuxPathOf(c.failing == driverFile ? L"C:\\dist\\Wendaro.exe"
                                                : std::wstring(slicerFolder) + L"\\Pevrale.exe");
        if (c.failing != driverFile)
            distribute(driverFile, "new driver", 0755);
        fs::create_directories(obstacle);
        std::mutex lock;
        std::vector<shownBox_t> boxes;
        setMessageBoxHook(
            [&](HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
                std::lock_guard<std::mutex> guard(lock);
                const int answer = boxes.size() < c.answers.size() ? c.answers[boxes.size()] : IDCANCEL;
                if (answer == IDRETRY && c.failing != driverFile)
                    fs::remove_all(obstacle);
                boxes.push_back({owner, text, caption, style, answer, true});
                return answer;
            });
        const std::size_t startsBefore = starts().size();
        installWorker_t worker(choiceOf("UD"));
        runInstallation(worker);
        setMessageBoxHook({});

        ASSERT_EQ(boxes.size(), c.answers.size());
        for (const shownBox_t& box : boxes) {
            EXPECT_EQ(box.text,
                      L"Cannot copy " + c.failing +
                          L". Close this program if it's open, and retry.\r\nError: Access is denied.\r\n");
            EXPECT_EQ(box.caption, L"Fennicot");
            EXPECT_EQ(box.style, 53u);
        }
        const bool cancelled = c.answers.back() == IDCANCEL;
        EXPECT_EQ(installedNames(), c.installedAfter);
        EXPECT_EQ(installed(driverFile), cancelled ? "old driver" : "new driver");
        EXPECT_EQ(worker.startUpdater(), !cancelled);
        // The shortcuts are made in any case; the updater starts only when all went well.
        EXPECT_TRUE(fs::exists(linuxPathOf(std::wstring(startMenuFolder) + L"\\Embedded Update.lnk")));
        std::vector<std::wstring> started = {closeRequestLine(driverFile), installedStartLine(driverFile)};
        if (!cancelled)
            started.push_back(installedStartLine(updaterFile));
        EXPECT_EQ(startsSince(startsBefore), started);
    }
}

TEST_F(InstallWorkerThreads, MakesShortcutsAsTextLinkFiles) {
    using link_t = std::array<std::wstring, 3>; // link name, program, description
    const link_t update = {L"Embedded Update.lnk", L"Pevrale.exe",
                           L"Update the 3D printer's embedded software"};
    const link_t tovrik = {L"Tovrik.lnk", L"Tovrik.exe", L"Application for 3D printer technicians"};
    const link_t merolt = {L"Merolt.lnk", L"Merolt.exe", L"Application for 3D printer technicians"};
    const link_t dorvanel = {L"Dorvanel.lnk", L"Dorvanel.exe",
                             L"Advanced application for 3D printer technicians"};
    struct case_t {
        std::string flags;
        bool startMenuExists; // the Start-menu folder is not created
        std::vector<link_t> startMenu;
        std::vector<link_t> desktop;
    };
    for (const case_t& c : std::vector<case_t>{{"U", true, {update}, {}},
                                               {"TD", true, {update, tovrik}, {tovrik}},
                                               {"TC2", true, {update, merolt, dorvanel}, {merolt, dorvanel}},
                                               {"T", false, {}, {tovrik}}}) {
        SCOPED_TRACE(c.flags);
        fs::remove_all(linuxPathOf(startMenuFolder));
        fs::remove_all(linuxPathOf(desktopFolder));
        fs::create_directories(linuxPathOf(desktopFolder));
        if (c.startMenuExists)
            fs::create_directories(linuxPathOf(startMenuFolder));
        scriptedMessageBox_t noBoxes;

        installWorker_t(choiceOf(c.flags)).createShortcuts();

        for (const auto& [folder, links] : {std::make_pair(std::wstring(startMenuFolder), c.startMenu),
                                            std::make_pair(std::wstring(desktopFolder), c.desktop)}) {
            std::vector<std::string> expected, found;
            for (const link_t& link : links)
                expected.push_back(wideToUtf8(link[0]) + ":[Link]\r\nTarget=" +
                                   wideToUtf8(std::wstring(slicerFolder) + L"/" + link[1]) +
                                   "\r\nDescription=" + wideToUtf8(link[2]) + "\r\n");
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(linuxPathOf(folder), ec))
                found.push_back(
                    entry.path().filename().string() + ":" +
                    readRawFile(folder + L"\\" + utf8ToWide(entry.path().filename().string())).value_or(""));
            std::sort(expected.begin(), expected.end());
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, expected);
        }
    }
}

} // namespace
