#include "platform/fileHandle.h"

#include "platform/lastError.h"
#include "platform/paths.h"
#include "platform/posixFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 8192;
constexpr char kCtrlZ = 0x1A;

}  // namespace

fileHandle_t::~fileHandle_t() {
    if (fd_ >= 0) ::close(fd_);
}

bool fileHandle_t::open(const std::wstring& systemPath, const std::string& mode) {
    if (fd_ >= 0 || mode.empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const char kind = mode[0];
    bool plus = false;
    bool binary = false;
    for (std::size_t i = 1; i < mode.size(); ++i) {
        if (mode[i] == '+') plus = true;
        else if (mode[i] == 'b') binary = true;
        else if (mode[i] == 't') binary = false;
        else {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }
    int flags = O_CLOEXEC;
    switch (kind) {
    case 'r': flags |= plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: setLastError(ERROR_INVALID_PARAMETER); return false;
    }
    const bool wantsWrite = kind != 'r' || plus;
    const auto path = resolvePath(systemPath);
    if (!path) return false;

    struct stat st {};
    if (::stat(path->c_str(), &st) == 0) {
        // Folders cannot be opened as files; read-only files refuse writing
        // (also for a process that runs as root).
        if (S_ISDIR(st.st_mode) || (wantsWrite && (st.st_mode & S_IWUSR) == 0)) {
            setLastError(ERROR_ACCESS_DENIED);
            return false;
        }
    }
    const int fd = ::open(path->c_str(), flags, 0666);
    if (fd < 0) {
        const int err = errno;
        if (err == EISDIR) setLastError(ERROR_ACCESS_DENIED);
        else setErrorForPath(err, *path);
        return false;
    }
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        setLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    fd_ = fd;
    text_ = !binary;
    append_ = kind == 'a';
    readable_ = kind == 'r' || plus;
    writable_ = wantsWrite;
    eof_ = false;
    error_ = false;
    raw_.clear();
    rawPos_ = 0;
    rawStart_ = 0;
    if (append_) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        rawStart_ = end < 0 ? 0 : static_cast<std::int64_t>(end);
    }
    return true;
}

bool fileHandle_t::close() {
    if (fd_ < 0) return false;
    const int r = ::close(fd_);
    fd_ = -1;
    raw_.clear();
    rawPos_ = 0;
    rawStart_ = 0;
    eof_ = false;
    const bool ok = r == 0 && !error_;
    if (r != 0) setLastErrorFromErrno(errno);
    error_ = false;
    return ok;
}

bool fileHandle_t::fillBuffer() {
    // Keep unconsumed bytes (a CR waiting for its LF); drop the rest.
    if (rawPos_ > 0) {
        rawStart_ += static_cast<std::int64_t>(rawPos_);
        raw_.erase(0, rawPos_);
        rawPos_ = 0;
    }
    char buffer[kChunk];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            setLastErrorFromErrno(errno);
            error_ = true;
            return false;
        }
        if (n == 0) return false;
        raw_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
}

bool fileHandle_t::dropReadAhead() {
    if (rawPos_ == raw_.size()) {
        rawStart_ += static_cast<std::int64_t>(rawPos_);
        raw_.clear();
        rawPos_ = 0;
        return true;
    }
    const std::int64_t position = rawStart_ + static_cast<std::int64_t>(rawPos_);
    raw_.clear();
    rawPos_ = 0;
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
        setLastErrorFromErrno(errno);
        error_ = true;
        return false;
    }
    rawStart_ = position;
    return true;
}

std::size_t fileHandle_t::read(char* buffer, std::size_t n) {
    if (fd_ < 0 || !readable_) {
        setLastError(fd_ < 0 ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        error_ = true;
        return 0;
    }
    std::size_t out = 0;
    while (out < n) {
        if (rawPos_ >= raw_.size() && !fillBuffer()) {
            eof_ = true;
            break;
        }
        if (!text_) {
            const std::size_t take = std::min(n - out, raw_.size() - rawPos_);
            raw_.copy(buffer + out, take, rawPos_);
            rawPos_ += take;
            out += take;
            continue;
        }
        const char c = raw_[rawPos_];
        if (c == kCtrlZ) {
            // End of a text file, even with bytes behind it; the position
            // stays on the 0x1A.
            eof_ = true;
            break;
        }
        if (c == '\r') {
            if (rawPos_ + 1 >= raw_.size() && !fillBuffer()) {
                buffer[out++] = '\r';
                ++rawPos_;
                continue;
            }
            if (raw_[rawPos_ + 1] == '\n') {
                buffer[out++] = '\n';
                rawPos_ += 2;
                continue;
            }
        }
        buffer[out++] = c;
        ++rawPos_;
    }
    return out;
}

bool fileHandle_t::write(const char* data, std::size_t n) {
    if (fd_ < 0 || !writable_) {
        setLastError(fd_ < 0 ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        error_ = true;
        return false;
    }
    if (!dropReadAhead()) return false;
    std::string translated;
    const char* bytes = data;
    std::size_t count = n;
    if (text_) {
        translated.reserve(n + n / 16 + 2);
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i] == '\n') translated.push_back('\r');
            translated.push_back(data[i]);
        }
        bytes = translated.data();
        count = translated.size();
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t w = ::write(fd_, bytes + done, count - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            setLastErrorFromErrno(errno);
            error_ = true;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    if (append_) {
        const off_t end = ::lseek(fd_, 0, SEEK_CUR);
        rawStart_ = end < 0 ? rawStart_ : static_cast<std::int64_t>(end);
    } else {
        rawStart_ += static_cast<std::int64_t>(done);
    }
    eof_ = false;
    return true;
}

bool fileHandle_t::flush() {
    // Writes go straight to the file; nothing is held back.
    return fd_ >= 0 && !error_;
}

std::int64_t fileHandle_t::seek(std::int64_t offset, int whence) {
    if (fd_ < 0) {
        setLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    std::int64_t target = 0;
    switch (whence) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = rawStart_ + static_cast<std::int64_t>(rawPos_) + offset; break;
    case SEEK_END: {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            setLastErrorFromErrno(errno);
            return -1;
        }
        target = static_cast<std::int64_t>(st.st_size) + offset;
        break;
    }
    default: setLastError(ERROR_INVALID_PARAMETER); return -1;
    }
    if (target < 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    // Within the read-ahead: just move in it.
    if (target >= rawStart_ && target <= rawStart_ + static_cast<std::int64_t>(raw_.size())) {
        rawPos_ = static_cast<std::size_t>(target - rawStart_);
        eof_ = false;
        return target;
    }
    if (::lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0) {
        setLastErrorFromErrno(errno);
        return -1;
    }
    raw_.clear();
    rawPos_ = 0;
    rawStart_ = target;
    eof_ = false;
    return target;
}

std::int64_t fileHandle_t::tell() {
    if (fd_ < 0) return -1;
    return rawStart_ + static_cast<std::int64_t>(rawPos_);
}
