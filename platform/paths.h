// Paths stay the system's texts ("C:/QVR_Printers", "\batchTrace.log");
// only this layer maps them to Linux paths:
// - both separators are accepted; a drive letter is mapped through the
//   prefix's [drives] (Z: is /); an unmapped drive fails (error 3);
// - a leading separator is the root of the current drive: C: unless the
//   current folder lies inside another mapped drive (Z: never counts);
// - a relative text is relative to the real current folder;
// - a component that does not exist in its exact case is found
//   case-insensitively (the first match in upper-case ordinal order);
//   components that do not exist at all keep the case given;
// - a system path of more than 259 characters fails with error 206.
#pragma once
#include <optional>
#include <string>

// The Linux path for a system path text, or nothing (last error set).
std::optional<std::string> resolvePath(const std::wstring& systemPath);
// The system text for a Linux path from outside (argv, file dialogs, the
// current folder): the longest mapped drive root that contains it, with
// "\" separators ("C:\QVR_Printers\12"); Z: for anything else.
std::wstring toSystemPath(const std::string& linuxPath);
// The system text of the current folder.
std::wstring currentFolder();
bool setCurrentFolder(const std::wstring& systemPath);
// Wildcard match of Windows: '*' and '?', case-insensitive; "*.*" also
// matches names without a dot.
bool wildcardMatch(const std::wstring& pattern, const std::wstring& name);
