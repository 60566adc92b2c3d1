#include "platform/namedMutex.h"

#include "platform/codePage.h"
#include "platform/lastError.h"
#include "platform/posixFile.h"
#include "platform/prefix.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The lock file's name: the object's name with everything but plain ASCII
// letters, digits, '-' and '_' written as %XX of its UTF-8 bytes, so that
// names stay case-sensitive and "\" or "/" cannot leave the folder.
std::string lockFileName(const std::wstring& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : wideToUtf8(name)) {
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' || b == '_';
        if (plain) {
            out += static_cast<char>(b);
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    return out + ".lock";
}

std::string objectsFolder() { return prefixRoot() + "/objects"; }

struct flock ofdLock(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;  // the whole file
    fl.l_pid = 0;  // required for open-file-description locks
    return fl;
}

// Whether another open file description holds a lock on the file: a write
// lock would conflict with any holder's read lock, in any process.
bool heldByOther(int fd) {
    struct flock fl = ofdLock(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

}  // namespace

namedMutex_t::namedMutex_t(const std::wstring& name, bool* alreadyExisted) {
    if (alreadyExisted != nullptr) *alreadyExisted = false;
    if (name.empty()) {
        // An unnamed mutex: nobody else can ever open it.
        fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) setLastErrorFromErrno(errno);
        else setLastError(ERROR_SUCCESS);
        return;
    }
    const std::string folder = objectsFolder();
    makeFolders(folder);
    // The test and the taking happen under one exclusive guard, so two
    // creators at the same moment cannot both find it free.
    fileLock_t guard(folder + "/.guard");
    if (!guard.locked()) {
        setLastErrorFromErrno(errno);
        return;
    }
    const std::string path = folder + "/" + lockFileName(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return;
    }
    const bool existed = heldByOther(fd);
    // Every handle holds a shared lock; the kernel drops it when the handle
    // is closed or its process ends, however it ends.
    struct flock fl = ofdLock(F_RDLCK);
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        setLastErrorFromErrno(errno);
        ::close(fd);
        return;
    }
    fd_ = fd;
    if (alreadyExisted != nullptr) *alreadyExisted = existed;
    setLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

namedMutex_t::~namedMutex_t() { close(); }

void namedMutex_t::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool namedMutexExists(const std::wstring& name) {
    if (name.empty()) return false;
    const std::string path = objectsFolder() + "/" + lockFileName(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = heldByOther(fd);
    ::close(fd);
    return held;
}
