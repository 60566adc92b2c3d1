// File and folder operations on system path texts (see paths.h). Each sets
// the last error on failure.
#pragma once
#include "platform/winConstants.h"
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// INVALID_FILE_ATTRIBUTES when the path does not exist.
DWORD getFileAttributes(const std::wstring& path);
bool fileOrFolderExists(const std::wstring& path);
bool isFolder(const std::wstring& path);
// One level only, as the system expects: a missing parent fails (error 3);
// an existing folder fails with ERROR_ALREADY_EXISTS.
bool createDirectory(const std::wstring& path);
bool removeDirectory(const std::wstring& path);
bool deleteFile(const std::wstring& path);
// Copies in place (so a running program's file cannot be overwritten), with
// the mode bits and the last-write time; failIfExists gives ERROR_FILE_EXISTS.
bool copyFile(const std::wstring& from, const std::wstring& to, bool failIfExists);
// Replaces `to` atomically (rename within one folder).
bool moveFileReplace(const std::wstring& from, const std::wstring& to);
// Adds the owner's write permission (FILE_ATTRIBUTE_NORMAL).
bool setFileNormal(const std::wstring& path);

struct fileEntry_t {
    std::wstring name;        // the name as found on disk
    std::wstring fullPath;    // the search folder's text + "/" + name
    bool isFolder = false;
    std::uint64_t size = 0;
    std::time_t lastWrite = 0;
    std::time_t creation = 0;  // birth time where the file system keeps it, else last write
};
bool getFileInfo(const std::wstring& path, fileEntry_t& info);
// Folder search with a wildcard in the last component ("C:/x/*.LOG"):
// case-insensitive, "." and ".." included for "*" and "*.*", sorted by the
// upper-cased name. Empty (error 2 or 3) when nothing matches.
std::vector<fileEntry_t> findFiles(const std::wstring& pattern);

// Configured system folders (system texts).
std::wstring windowsFolder();
std::wstring systemFolder();
std::wstring tempFolder();
// Special folders 16 (desktop) and 23 (common programs); empty when unknown.
std::wstring specialFolder(int csidl);
// A new empty file in `folder` named prefix + hex number + ".tmp"; empty on failure.
std::wstring createTempFile(const std::wstring& folder, const std::wstring& prefix);
