#include "tests/support/tempPrefix.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/prefix.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>

// The built programs: $QVR_BUILD_BIN, else <build>/bin beside the test
// program's <build>/tests.
std::string buildBinFolder() {
    if (const char* bin = std::getenv("QVR_BUILD_BIN"); bin != nullptr && *bin != '\0') return bin;
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return std::string();
    std::string path(self, static_cast<std::size_t>(n));
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/bin";
}

tempPrefix_t::tempPrefix_t() {
    if (const char* env = std::getenv("QVR_PREFIX")) previousPrefix_ = env;
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) previousCwd_ = cwd;

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qvr-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder";
        return;
    }
    temp_ = pattern;
    root_ = temp_ + "/prefix";

    ::setenv("TZ", "UTC", 1);
    ::tzset();
    usePrefix(root_);
    setConfigValue(L"identity", L"user", L"tech");
    setConfigValue(L"identity", L"computer", L"QVRTEST");
    if (::chdir(driveC().c_str()) != 0) ADD_FAILURE() << "cannot enter " << driveC();
    // Notepad lives in the Windows folder, as on a Windows installation.
    if (const std::string bin = buildBinFolder(); !bin.empty()) {
        const std::string notepad = bin + "/NOTEPAD.EXE";
        const auto windows = resolvePath(windowsFolder());
        if (windows && ::access(notepad.c_str(), X_OK) == 0 &&
            ::symlink(notepad.c_str(), (*windows + "/NOTEPAD.EXE").c_str()) != 0)
            ADD_FAILURE() << "cannot put NOTEPAD.EXE in " << *windows;
    }
}

tempPrefix_t::~tempPrefix_t() {
    if (!previousCwd_.empty() && ::chdir(previousCwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << previousCwd_;
    if (previousPrefix_) ::setenv("QVR_PREFIX", previousPrefix_->c_str(), 1);
    else ::unsetenv("QVR_PREFIX");
    forgetPrefix();
    if (!temp_.empty()) {
        std::error_code ec;
        // Read-only files and folders left by a test must not stop the clean-up.
        for (auto it = std::filesystem::recursive_directory_iterator(temp_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ec);
        }
        std::filesystem::remove_all(temp_, ec);
    }
}

std::string linuxPathOf(const std::wstring& systemPath) {
    const auto path = resolvePath(systemPath);
    if (!path) {
        ADD_FAILURE() << "cannot map a system path";
        return std::string();
    }
    return *path;
}

bool writeRawFile(const std::wstring& systemPath, const std::string& bytes) {
    const std::string path = linuxPathOf(systemPath);
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::optional<std::string> readRawFile(const std::wstring& systemPath) {
    const auto path = resolvePath(systemPath);
    if (!path) return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes;
}
