// Which help topic belongs to which page, and where the edition's help
// file lies.
#pragma once
#include <string>

// The topic of the page with that dialog id; "index.htm" for any other.
std::wstring helpTopicForPage(int dialogId);
// The help file of the edition: the slicer's folder and "\Merolt.chm" for
// the Merolt edition (any case), "\Tovrik.chm" otherwise.
std::wstring helpFilePath(const std::wstring& edition);

inline constexpr wchar_t troubleshootingTopic[] = L"Troubleshooting\\Block peeling problems.htm";
