// Small chores on Linux paths that several platform units share: whole-file
// reads, atomic replacement through a temporary file, and the stamp that
// tells a cached file from a changed one. No mapping of system paths here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// What identifies one version of a file: a rename gives a new inode, a
// rewrite in place a new size or modification time.
struct fileStamp_t {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const fileStamp_t&) const = default;
};

// Collapses "//", "." and ".." of an absolute Linux path without asking the
// file system.
std::string normalizeLinux(const std::string& path);

fileStamp_t statStamp(const std::string& path);
fileStamp_t fdStamp(int fd);
// The whole file, or nothing (errno set) when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path, fileStamp_t* stamp = nullptr);
// Writes to a temporary file in the same folder, syncs it and renames it
// over `path`; false (errno set) on any failure, leaving `path` untouched.
bool replaceFileAtomically(const std::string& path, const std::string& bytes);
// mkdir -p for the prefix's own folders (not for system paths, which are
// created one level at a time).
bool makeFolders(const std::string& path);
// Sets the last error for a failed call on a Linux path: a missing file is
// "file not found" when its folder exists and "path not found" when not;
// a component that is a file, not a folder, also gives "path not found".
void setErrorForPath(int err, const std::string& linuxPath);
// An exclusive flock held for the object's lifetime (creates the lock file).
class fileLock_t {
public:
    explicit fileLock_t(const std::string& lockPath);
    ~fileLock_t();
    fileLock_t(const fileLock_t&) = delete;
    fileLock_t& operator=(const fileLock_t&) = delete;
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
