// Paths taken apart (both separators accepted) and files tested, named,
// measured and cleaned up. Paths are system texts (see platform/paths.h).
// Failures are results: false, an empty text, 0.
#pragma once
#include <cstdint>
#include <istream>
#include <string>

// The part after the last '\' or '/' (the whole path when it has neither).
std::wstring getFileName(const std::wstring& path);
// getFileName without its last extension ("archive.tar.gz" -> "archive.tar").
std::wstring getFileTitle(const std::wstring& path);
// The part after the last '.' of the whole path; empty when it has none.
std::wstring getFileExtension(const std::wstring& path);
// True for folders too.
bool fileExists(const std::wstring& path);
// The first of base.ext, base_2.ext, base_3.ext ... that does not exist;
// when every name up to number limit - 2 exists, the name with number
// limit - 1, untested.
std::wstring getFreeFileName(const std::wstring& base, const std::wstring& extension, int limit);
// Special folders 16 (desktop) and 23 (common programs); not created.
std::wstring getSpecialFolder(int csidl);
std::wstring getWindowsDir();
std::wstring getSystemDir();
// The size of a file in bytes, 0 when it cannot be opened.
std::int32_t getFileSize(const std::wstring& path);
// What is left to read from the stream's position; the position is kept.
std::int32_t streamRemaining(std::istream& in);
// A new empty file in the temporary folder; empty on failure.
std::wstring getTempFileName(const std::wstring& prefix);
// One level: true when made, and when it existed already (then
// *alreadyExisted is true); false on any other failure.
bool createFolder(const std::wstring& path, bool* alreadyExisted = nullptr);
// Deletes the files matching folder\*.extension that were created more than
// `days` days ago; entries whose times cannot be read are skipped.
void deleteOldFiles(const std::wstring& folder, const std::wstring& extension, int days);
