// Text chores: line reading, the system code page, upper case and printable
// characters. None depends on the process locale.
#pragma once
#include <istream>
#include <string>

// When skipOne is true, one character is read and dropped first; then the
// text up to the next line feed (consumed, not returned).
std::string getLine(std::istream& in, bool skipOne);
std::wstring getLine(std::wistream& in, bool skipOne);

// Wide to narrow text in the system code page; characters it lacks become '?'.
std::string wstrToStr(const std::wstring& text);
std::wstring strToWstr(const std::string& text);
std::wstring toUpper(const std::wstring& text);
// A copy without control characters (line breaks and tabs included).
std::wstring printableOnly(const std::wstring& text);
