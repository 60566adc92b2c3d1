#include "platform/files.h"

#include "platform/codePage.h"
#include "platform/decimal.h"
#include "platform/lastError.h"
#include "platform/paths.h"
#include "platform/posixFile.h"
#include "platform/prefix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The original's read-only attribute is the missing owner-write bit. It is
// checked here too, because a process running as root would write anyway.
bool readOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

std::time_t birthTime(const std::string& path, const struct stat& st) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME) != 0)
        return static_cast<std::time_t>(sx.stx_btime.tv_sec);
    return st.st_mtim.tv_sec;
}

void fillInfo(const std::string& linuxPath, const struct stat& st, fileEntry_t& info) {
    info.isFolder = S_ISDIR(st.st_mode);
    info.size = info.isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
    info.lastWrite = st.st_mtim.tv_sec;
    info.creation = birthTime(linuxPath, st);
}

bool writeAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::wstring joinSystem(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (isSeparator(folder.back())) return folder + name;
    return folder + L"\\" + name;
}

}  // namespace

DWORD getFileAttributes(const std::wstring& path) {
    const auto linux = resolvePath(path);
    if (!linux) return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (::stat(linux->c_str(), &st) != 0) {
        setErrorForPath(errno, *linux);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY | (readOnly(st) ? FILE_ATTRIBUTE_READONLY : 0);
    return readOnly(st) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}

bool fileOrFolderExists(const std::wstring& path) { return getFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::wstring& path) {
    const DWORD a = getFileAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDirectory(const std::wstring& path) {
    const auto linux = resolvePath(path);
    if (!linux) return false;
    if (::mkdir(linux->c_str(), 0777) != 0) {
        const int err = errno;
        if (err == EEXIST) setLastError(ERROR_ALREADY_EXISTS);
        else if (err == ENOENT || err == ENOTDIR) setLastError(ERROR_PATH_NOT_FOUND);
        else setLastErrorFromErrno(err);
        return false;
    }
    return true;
}

bool removeDirectory(const std::wstring& path) {
    const auto linux = resolvePath(path);
    if (!linux) return false;
    if (::rmdir(linux->c_str()) != 0) {
        const int err = errno;
        if (err == ENOTDIR) setLastError(ERROR_DIRECTORY);
        else if (err == EEXIST) setLastError(ERROR_DIR_NOT_EMPTY);
        else setErrorForPath(err, *linux);
        return false;
    }
    return true;
}

bool deleteFile(const std::wstring& path) {
    const auto linux = resolvePath(path);
    if (!linux) return false;
    struct stat st {};
    if (::lstat(linux->c_str(), &st) != 0) {
        setErrorForPath(errno, *linux);
        return false;
    }
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && readOnly(st))) {
        setLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (::unlink(linux->c_str()) != 0) {
        setErrorForPath(errno, *linux);
        return false;
    }
    return true;
}

bool copyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    const auto source = resolvePath(from);
    if (!source) return false;
    const auto target = resolvePath(to);
    if (!target) return false;
    const int in = ::open(source->c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setErrorForPath(errno, *source);
        return false;
    }
    struct stat srcSt {};
    if (::fstat(in, &srcSt) != 0 || S_ISDIR(srcSt.st_mode)) {
        ::close(in);
        setLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    struct stat dstSt {};
    if (::stat(target->c_str(), &dstSt) == 0) {
        if (failIfExists) {
            ::close(in);
            setLastError(ERROR_FILE_EXISTS);
            return false;
        }
        // Copying a file onto itself would truncate it before reading it.
        if (dstSt.st_dev == srcSt.st_dev && dstSt.st_ino == srcSt.st_ino) {
            ::close(in);
            setLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
        if (S_ISDIR(dstSt.st_mode) || readOnly(dstSt)) {
            ::close(in);
            setLastError(ERROR_ACCESS_DENIED);
            return false;
        }
    }
    // In place, not through a temporary file: a running program's file
    // refuses (ETXTBSY), which the installer turns into its question.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    const int out = ::open(target->c_str(), flags, srcSt.st_mode & 07777);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        if (err == EEXIST) setLastError(ERROR_FILE_EXISTS);
        else setErrorForPath(err, *target);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            err = errno;
            break;
        }
        if (n == 0) break;
        if (!writeAll(out, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            err = errno;
            break;
        }
    }
    if (ok) {
        (void)::fchmod(out, srcSt.st_mode & 07777);
        const struct timespec times[2] = {srcSt.st_atim, srcSt.st_mtim};
        (void)::futimens(out, times);
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    ::close(in);
    if (!ok) {
        setLastErrorFromErrno(err);
        return false;
    }
    return true;
}

bool moveFileReplace(const std::wstring& from, const std::wstring& to) {
    const auto source = resolvePath(from);
    if (!source) return false;
    const auto target = resolvePath(to);
    if (!target) return false;
    if (::rename(source->c_str(), target->c_str()) != 0) {
        const int err = errno;
        struct stat st {};
        if (::lstat(source->c_str(), &st) != 0) setErrorForPath(errno, *source);
        else setErrorForPath(err, *target);
        return false;
    }
    return true;
}

bool setFileNormal(const std::wstring& path) {
    const auto linux = resolvePath(path);
    if (!linux) return false;
    struct stat st {};
    if (::stat(linux->c_str(), &st) != 0) {
        setErrorForPath(errno, *linux);
        return false;
    }
    if (::chmod(linux->c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool getFileInfo(const std::wstring& path, fileEntry_t& info) {
    const auto linux = resolvePath(path);
    if (!linux) return false;
    struct stat st {};
    if (::stat(linux->c_str(), &st) != 0) {
        setErrorForPath(errno, *linux);
        return false;
    }
    const std::size_t slash = linux->rfind('/');
    info.name = utf8ToWide(slash == std::string::npos ? *linux : linux->substr(slash + 1));
    info.fullPath = path;
    fillInfo(*linux, st, info);
    return true;
}

std::vector<fileEntry_t> findFiles(const std::wstring& pattern) {
    std::vector<fileEntry_t> found;
    std::size_t cut = std::wstring::npos;
    for (std::size_t i = pattern.size(); i-- > 0;) {
        if (isSeparator(pattern[i])) {
            cut = i;
            break;
        }
    }
    std::wstring folderText;
    std::wstring namePattern;
    std::wstring folderForResolve;
    if (cut == std::wstring::npos) {
        if (pattern.size() >= 2 && pattern[1] == L':') {
            folderText = pattern.substr(0, 2);
            namePattern = pattern.substr(2);
            folderForResolve = folderText;
        } else {
            namePattern = pattern;
            folderForResolve = L".";
        }
    } else {
        folderText = pattern.substr(0, cut);
        namePattern = pattern.substr(cut + 1);
        // "\*.*" searches the root; "C:\*.*" the root of C:.
        folderForResolve = pattern.substr(0, cut + 1);
    }
    if (pattern.size() > static_cast<std::size_t>(MAX_PATH - 1)) {
        setLastError(ERROR_FILENAME_EXCED_RANGE);
        return found;
    }
    if (namePattern.empty()) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return found;
    }
    const auto folder = resolvePath(folderForResolve);
    if (!folder) return found;
    DIR* dir = ::opendir(folder->c_str());
    if (dir == nullptr) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return found;
    }
    // A drive's root lists no "." or "..", as on the original.
    bool driveRoot = false;
    for (const auto& [letter, value] : configSection(L"drives")) {
        (void)letter;
        std::string root = wideToUtf8(value);
        if (!root.empty() && root[0] != '/') root = prefixRoot() + "/" + root;
        while (root.size() > 1 && root.back() == '/') root.pop_back();
        if (root == *folder) driveRoot = true;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        if (driveRoot && (entry == "." || entry == "..")) continue;
        const std::wstring name = utf8ToWide(entry);
        if (!wildcardMatch(namePattern, name)) continue;
        const std::string full = (*folder == "/" ? "" : *folder) + "/" + entry;
        struct stat st {};
        if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
        fileEntry_t info;
        info.name = name;
        info.fullPath = folderText.empty() && cut == std::wstring::npos ? name : folderText + L"/" + name;
        fillInfo(full, st, info);
        found.push_back(std::move(info));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const fileEntry_t& a, const fileEntry_t& b) {
        const std::wstring ua = upperText(a.name);
        const std::wstring ub = upperText(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });
    if (found.empty()) setLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

std::wstring windowsFolder() { return configValue(L"folders", L"windows", L"C:\\Windows"); }

std::wstring systemFolder() { return configValue(L"folders", L"system", L"C:\\Windows\\system32"); }

std::wstring tempFolder() { return configValue(L"folders", L"temp", L"C:\\Windows\\Temp"); }

std::wstring specialFolder(int csidl) {
    if (csidl == CSIDL_DESKTOPDIRECTORY) return configValue(L"folders", L"desktop", L"");
    if (csidl == CSIDL_COMMON_PROGRAMS) return configValue(L"folders", L"commonprograms", L"");
    return std::wstring();
}

std::wstring createTempFile(const std::wstring& folder, const std::wstring& prefix) {
    const auto linuxFolder = resolvePath(folder.empty() ? std::wstring(L".") : folder);
    if (!linuxFolder) return std::wstring();
    static std::atomic<unsigned> counter{0};
    const unsigned start = static_cast<unsigned>(::getpid()) * 7919u + static_cast<unsigned>(::time(nullptr));
    for (unsigned attempt = 0; attempt < 65536; ++attempt) {
        const unsigned number = (start + counter.fetch_add(1) + attempt) & 0xFFFFu;
        const std::wstring name = prefix + upperText(wideAscii(hexText(number))) + L".tmp";
        const std::string path = *linuxFolder + "/" + wideToUtf8(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return joinSystem(folder, name);
        }
        if (errno != EEXIST) {
            setErrorForPath(errno, path);
            return std::wstring();
        }
    }
    setLastError(ERROR_FILE_EXISTS);
    return std::wstring();
}
