#include "platform/posixFile.h"

#include <vector>

#include "platform/decimal.h"
#include "platform/lastError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

fileStamp_t stampOf(const struct stat& st) {
    fileStamp_t s;
    s.exists = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::int64_t>(st.st_size);
    s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

fileStamp_t statStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fileStamp_t{};
    return stampOf(st);
}

fileStamp_t fdStamp(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fileStamp_t{};
    return stampOf(st);
}

std::optional<std::string> readWholeFile(const std::string& path, fileStamp_t* stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    if (stamp != nullptr) *stamp = fdStamp(fd);
    std::string out;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            errno = err;
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

bool replaceFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp" + decimalText(::getpid()) + "_" + decimalText(tempCounter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = err;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        errno = err;
        return false;
    }
    return true;
}

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        const std::size_t slash = path.find('/', pos);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        partial = path.substr(0, end);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setErrorForPath(int err, const std::string& linuxPath) {
    if (err == ENOENT || err == ENOTDIR) {
        std::string parent = linuxPath;
        const std::size_t slash = parent.rfind('/');
        parent = (slash == std::string::npos || slash == 0) ? "/" : parent.substr(0, slash);
        struct stat st {};
        const bool parentIsFolder = ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        setLastError(parentIsFolder && err == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return;
    }
    setLastErrorFromErrno(err);
}

fileLock_t::fileLock_t(const std::string& lockPath) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

fileLock_t::~fileLock_t() {
    if (fd_ >= 0) ::close(fd_);
}

std::string normalizeLinux(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}
