#include "tests/installer/installerFixture.h"

#include "installer/installerNames.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "machine/registryUtils.h"
#include "platform/codePage.h"
#include "platform/process.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

void installerTest::SetUp() {
    ASSERT_TRUE(
        regWriteString(slicerRegistryKey, slicerDirectoryValueName, slicerFolder, HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(regWriteString(slicerRegistryKey, installerNames::shortcutFolderValueName, L"Corvanta",
                               HKEY_LOCAL_MACHINE));
    fs::create_directories(linuxPathOf(slicerFolder));
    fs::create_directories(linuxPathOf(startMenuFolder));
    fs::create_directories(linuxPathOf(desktopFolder));
    const std::string dist = linuxPathOf(L"C:\\dist");
    fs::create_directories(dist);
    ASSERT_EQ(::chdir(dist.c_str()), 0);
    recordStarts(true);
}

void installerTest::recordStarts(bool record) {
    if (!record) {
        setLauncherHook({});
        return;
    }
    setLauncherHook([this](const std::wstring& commandLine) {
        std::lock_guard<std::mutex> guard(startsLock_);
        starts_.push_back(commandLine);
        return true;
    });
}

void installerTest::freshFolders() {
    for (const wchar_t* folder : {slicerFolder, L"C:\\dist"}) {
        const std::string path = linuxPathOf(folder);
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ASSERT_EQ(::chdir(linuxPathOf(L"C:\\dist").c_str()), 0);
}

void installerTest::TearDown() {
    setLauncherHook({});
}

void installerTest::distribute(const std::wstring& name, const std::string& bytes, mode_t mode) {
    const std::wstring path = L"C:\\dist\\" + name;
    ASSERT_TRUE(writeRawFile(path, bytes));
    ::chmod(linuxPathOf(path).c_str(), mode);
}

void installerTest::install(const std::wstring& name, const std::string& bytes, mode_t mode) {
    const std::wstring path = std::wstring(slicerFolder) + L"\\" + name;
    ASSERT_TRUE(writeRawFile(path, bytes));
    ::chmod(linuxPathOf(path).c_str(), mode);
}

std::optional<std::string> installerTest::installed(const std::wstring& name) const {
    return readRawFile(std::wstring(slicerFolder) + L"\\" + name);
}

mode_t installerTest::installedMode(const std::wstring& name) const {
    struct stat st {};
    if (::stat(linuxPathOf(std::wstring(slicerFolder) + L"\\" + name).c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

std::vector<std::wstring> installerTest::installedNames() const {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(linuxPathOf(slicerFolder), ec))
        names.push_back(utf8ToWide(entry.path().filename().string()));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> installerTest::starts() const {
    std::lock_guard<std::mutex> guard(startsLock_);
    return starts_;
}

std::vector<std::wstring> installerTest::startsSince(std::size_t count) const {
    const std::vector<std::wstring> all = starts();
    return std::vector<std::wstring>(all.begin() + static_cast<long>(std::min(count, all.size())), all.end());
}

std::wstring installerTest::closeRequestLine(const std::wstring& driver) {
    return buildCommandLine(driver, L"/c");
}

std::wstring installerTest::installedStartLine(const std::wstring& name) {
    return buildCommandLine(std::wstring(slicerFolder) + L"/" + name, L"");
}

std::string builtProgram(const std::string& fileName) {
    std::string folder;
    if (const char* bin = std::getenv("QVR_BUILD_BIN"); bin != nullptr && *bin != '\0') {
        folder = bin;
    } else {
        // Run by hand: <build>/tests/tests_installer beside <build>/bin.
        std::error_code ec;
        folder = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path().string() + "/bin";
    }
    const std::string path = folder + "/" + fileName;
    return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}
