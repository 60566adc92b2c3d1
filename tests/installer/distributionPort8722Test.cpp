// The distribution installed and run as a person does it, with real
// processes in a fresh prefix: Fennicot.exe from a copy of the built
// distribution folder (its question answered through
// QVR_MESSAGE_BOX_ANSWERS), the installed Tovrik.exe starting the installed
// Wendaro.exe and showing its machine, then installations over a running
// driver and a running technician program, and one from a distribution that
// lacks some files. Wendaro.exe listens on 8722.
#include "installer/installerNames.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/parametersFile.h"
#include "machine/registryUtils.h"
#include "platform/codePage.h"
#include "platform/lastError.h"
#include "platform/namedMutex.h"
#include "platform/paths.h"
#include "tests/installer/installerFixture.h"
#include "tests/support/port8722Test.h"
#include "tests/support/programProcess.h"
#include "tests/support/tempPrefix.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace installerNames;

namespace {

constexpr wchar_t slicerFolder[] = L"C:\\Program Files\\Corvanta\\Ondrel";
constexpr wchar_t startMenuFolder[] = L"C:\\ProgramData\\Start Menu\\Programs\\Corvanta";
constexpr wchar_t desktopFolder[] = L"C:\\Users\\Public\\Desktop";
constexpr char question[] = "message box \"Version 2.0\" [style 36]: Do you want to install Tovrik? -> Yes";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// When the file's inode last changed (a copy into it, a rename).
std::pair<long, long> changeTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::make_pair(long(st.st_ctim.tv_sec), st.st_ctim.tv_nsec)
                                          : std::make_pair(0L, 0L);
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.insert(entry.path().filename().string());
    return names;
}

// A text as the message-box journal writes it, line breaks escaped.
std::string oneLine(const std::wstring& text) {
    std::string line;
    for (char c : wideToUtf8(text))
        line += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

// The message boxes a program was asked, one line each.
std::vector<std::string> boxesIn(const std::string& output) {
    std::vector<std::string> boxes;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("message box ", 0) == 0)
            boxes.push_back(line);
    return boxes;
}

class DistributionPort8722 : public port8722Test {
protected:
    void SetUp() override {
        port8722Test::SetUp();
        if (IsSkipped())
            return;
        const std::string fennicot = builtProgram("Fennicot.exe");
        ASSERT_FALSE(fennicot.empty()) << "Fennicot.exe is not built";
        built_ = fs::path(fennicot).parent_path().parent_path().string() + "/distribution";
        ASSERT_TRUE(fs::exists(built_ + "/Fennicot.exe")) << "the target \"distribution\" is not built";

        // The slicer as its own installation leaves it: its program in its
        // folder, its key naming both, and its Start-menu folder.
        ASSERT_TRUE(writeRawFile(std::wstring(slicerFolder) + L"\\Ondrel.exe", "slicer"));
        ASSERT_TRUE(
            regWriteString(slicerRegistryKey, slicerDirectoryValueName, slicerFolder, HKEY_LOCAL_MACHINE));
        ASSERT_TRUE(regWriteString(slicerRegistryKey, slicerAppValueName,
                                   std::wstring(slicerFolder) + L"\\Ondrel.exe", HKEY_LOCAL_MACHINE));
        ASSERT_TRUE(
            regWriteString(slicerRegistryKey, shortcutFolderValueName, L"Corvanta", HKEY_LOCAL_MACHINE));
        fs::create_directories(linuxPathOf(startMenuFolder));
        installed_ = linuxPathOf(slicerFolder);

        // The distribution as a person receives it: a copy of the built one.
        dist_ = linuxPathOf(L"C:\\dist");
        fs::create_directories(dist_);
        for (const std::string& name : namesIn(built_))
            fs::copy_file(built_ + "/" + name, dist_ + "/" + name);
    }

    void TearDown() override {
        // No program of this prefix outlives the test: the driver is asked
        // to close as the installer asks it, and anything left is killed.
        if (namedMutexExists(driverMutexName)) {
            regWriteInt(slicerRegistryKey, closeDriverValueName, 1, HKEY_CURRENT_USER);
            waitUntil([] { return !namedMutexExists(driverMutexName); }, 20s);
        }
        for (pid_t pid : programsOfThePrefix(""))
            ::kill(pid, SIGKILL);
    }

    // The processes whose program file lies in this prefix and whose name
    // starts with the given one (its file may since have been replaced).
    std::vector<pid_t> programsOfThePrefix(const std::string& name) const {
        std::vector<pid_t> pids;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            const std::string pid = entry.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::error_code linkError;
            const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
            if (!linkError && exe.string().rfind(prefix_.root() + "/", 0) == 0 &&
                exe.filename().string().rfind(name, 0) == 0)
                pids.push_back(std::stoi(pid));
        }
        return pids;
    }

    // The one running driver, its program file being the installed one.
    std::optional<pid_t> runningDriver() const {
        const std::vector<pid_t> pids = programsOfThePrefix("Wendaro.exe");
        if (pids.size() != 1 || !namedMutexExists(driverMutexName))
            return std::nullopt;
        if (inodeOf("/proc/" + std::to_string(pids[0]) + "/exe") != inodeOf(installed_ + "/Wendaro.exe"))
            return std::nullopt;
        return pids[0];
    }

    // Runs the installer from the distribution to its end; what it asked.
    std::vector<std::string> install(const std::string& answers) {
        const std::string output = prefix_.root() + "/fennicot" + std::to_string(++runs_) + ".out";
        programProcess_t installer(dist_ + "/Fennicot.exe",
                                   {{}, dist_, {{"QVR_MESSAGE_BOX_ANSWERS", answers}}, output});
        EXPECT_TRUE(installer.started());
        EXPECT_EQ(installer.wait(60s), 0) << installer.output();
        return boxesIn(installer.output());
    }

    std::string installedBytes(const std::string& name) const { return fileBytes(installed_ + "/" + name); }
    std::string distributedBytes(const std::string& name) const { return fileBytes(built_ + "/" + name); }

    std::string built_;     // the build tree's distribution
    std::string dist_;      // its copy in the prefix, the installer's folder
    std::string installed_; // the slicer's folder
    int runs_ = 0;
};

TEST_F(DistributionPort8722, InstallsRunsAndReplacesTheDriver) {
    // What the distribution holds: every file the installer copies for the
    // first edition, beside the installer, and nothing of the second.
    const std::set<std::string> distributed = namesIn(built_);
    for (const char* name :
         {"Fennicot.exe", "Wendaro.exe", "Pevrale.exe", "Master_Parameters.txt", "Tovrik.exe", "Tovrik.chm"})
        EXPECT_TRUE(distributed.count(name)) << name;
    const std::set<std::string> known = {
        "Fennicot.exe", "Wendaro.exe", "Pevrale.exe", "Master_Parameters.txt",
        "Tovrik.exe",   "Tovrik.chm",  "cube.zs",     "target_test.txt"};
    for (const std::string& name : distributed)
        EXPECT_TRUE(known.count(name)) << name << " is no file of this edition's installation";

    // The master parameters: the factory values of the default record, in
    // the parameters-file format, complete.
    const std::string master = distributedBytes("Master_Parameters.txt");
    const std::string head = "QVR Parameters File Version\r\n2.0\r\n\r\nQVR Machine ID\r\n9999\r\n\r\n"
                             "Lines Starting Speed;Starting speed [V0] for the lines motor movement "
                             "(negative value);speed\r\n-4095\r\n\r\n";
    EXPECT_EQ(master.substr(0, head.size()), head);
    parameterMemory_t image{};
    EXPECT_EQ(
        readParametersFile(toSystemPath(built_ + "/Master_Parameters.txt"), image, true, nullptr, nullptr),
        L"");
    const parameterMemory_t& record = getDefaultParameterTable();
    EXPECT_TRUE(std::equal(image.begin() + 1, image.begin() + paramLayout::factoryBlockWords,
                           record.begin() + paramLayout::factoryBlockWord + 1));

    // The first installation: one question, every file, the shortcuts, and
    // the installed driver running.
    EXPECT_EQ(install("Yes"), std::vector<std::string>{question});
    std::set<std::string> expected = distributed;
    expected.erase("Fennicot.exe");
    expected.insert("Ondrel.exe");
    EXPECT_EQ(namesIn(installed_), expected);
    for (const std::string& name : expected) {
        if (name != "Ondrel.exe") {
            EXPECT_TRUE(installedBytes(name) == distributedBytes(name)) << name;
        }
    }
    EXPECT_EQ(::access((installed_ + "/Tovrik.exe").c_str(), X_OK), 0);
    for (const auto& [folder, link, program] :
         {std::make_tuple(startMenuFolder, L"Tovrik.lnk", L"Tovrik.exe"),
          std::make_tuple(startMenuFolder, L"Embedded Update.lnk", L"Pevrale.exe"),
          std::make_tuple(desktopFolder, L"Tovrik.lnk", L"Tovrik.exe")}) {
        const std::string text = readRawFile(std::wstring(folder) + L"\\" + link).value_or("");
        EXPECT_NE(text.find("\r\nTarget=" + wideToUtf8(std::wstring(slicerFolder) + L"/" + program) + "\r\n"),
                  std::string::npos)
            << wideToUtf8(link) << ": " << text;
    }
    // (A driver that cannot listen on 8722, taken by another program, says
    // so in its log and leaves.)
    ASSERT_TRUE(waitUntil([&] { return runningDriver().has_value(); }, 20s))
        << readRawFile(L"C:/QVR_Printers/Wendaro.log").value_or("");

    // The driver closes at its own "/c"; the installed technician program
    // starts it again and shows its machine.
    programProcess_t close(installed_ + "/Wendaro.exe",
                           {{"/c"}, installed_, {}, prefix_.root() + "/close.out"});
    EXPECT_EQ(close.wait(20s), 0);
    ASSERT_TRUE(waitUntil([&] { return programsOfThePrefix("Wendaro.exe").empty(); }, 20s));
    programProcess_t tovrik(installed_ + "/Tovrik.exe",
                            {{}, installed_, {{"QVR_WINDOW_TITLES", "1"}}, prefix_.root() + "/tovrik.out"});
    ASSERT_TRUE(waitUntil(
        [&] { return tovrik.output().find("window title \"Printer 1 - Tovrik\"\n") != std::string::npos; },
        30s))
        << tovrik.output();
    const std::optional<pid_t> firstDriver = runningDriver();
    ASSERT_TRUE(firstDriver);

    // Installing while both run: the driver is closed through its mutex and
    // the registry, replaced and started anew; the running technician
    // program cannot be copied over, and Cancel leaves it as it was.
    const ino_t oldDriverFile = inodeOf(installed_ + "/Wendaro.exe");
    const std::string cannotCopy = "message box \"Fennicot\" [style 53]: Cannot copy Tovrik.exe. Close this "
                                   "program if it's open, and retry.\\r\\nError: " +
                                   oneLine(systemErrorText(ERROR_SHARING_VIOLATION)) + " -> ";
    EXPECT_EQ(install("Yes,Retry,Cancel"),
              (std::vector<std::string>{question, cannotCopy + "Retry", cannotCopy + "Cancel"}));
    EXPECT_EQ(regReadString(slicerRegistryKey, closeDriverValueName, L"(none)", HKEY_CURRENT_USER), L"0");
    ASSERT_TRUE(waitUntil([&] { return runningDriver() && *runningDriver() != *firstDriver; }, 20s));
    EXPECT_NE(inodeOf(installed_ + "/Wendaro.exe"), oldDriverFile);
    // Never truncated by the failed copy.
    EXPECT_TRUE(installedBytes("Tovrik.exe") == distributedBytes("Tovrik.exe"));
    EXPECT_EQ(namesIn(installed_), expected); // no set-aside driver left behind

    // Closed, the technician program ends cleanly.
    tovrik.kill(SIGTERM);
    EXPECT_EQ(tovrik.wait(20s), 0) << tovrik.output();

    // From a distribution that lacks some files, the rest is installed
    // without a word, over the running driver again.
    const std::optional<pid_t> secondDriver = runningDriver();
    ASSERT_TRUE(secondDriver);
    const auto keptParameters = changeTime(installed_ + "/Master_Parameters.txt");
    const auto keptUpdater = changeTime(installed_ + "/Pevrale.exe");
    // A newer technician program (its write time shows that it was copied).
    const auto newer = fs::last_write_time(dist_ + "/Tovrik.exe") + std::chrono::hours(1);
    fs::last_write_time(dist_ + "/Tovrik.exe", newer);
    fs::remove(dist_ + "/Master_Parameters.txt");
    fs::remove(dist_ + "/Pevrale.exe");
    EXPECT_EQ(install("Yes"), std::vector<std::string>{question});
    ASSERT_TRUE(waitUntil([&] { return runningDriver() && *runningDriver() != *secondDriver; }, 20s));
    EXPECT_EQ(fs::last_write_time(installed_ + "/Tovrik.exe"), newer);
    EXPECT_TRUE(installedBytes("Tovrik.exe") == distributedBytes("Tovrik.exe"));
    EXPECT_EQ(changeTime(installed_ + "/Master_Parameters.txt"), keptParameters);
    EXPECT_EQ(changeTime(installed_ + "/Pevrale.exe"), keptUpdater);
    EXPECT_EQ(namesIn(installed_), expected);
}

} // namespace
