// Text conversions. Inside, text is std::wstring (32-bit wchar_t). The
// system's narrow code page is a fixed Windows-1252 table of our own; the
// archive edge speaks UTF-16LE; Linux file names are UTF-8.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Windows-1252. Unmappable wide characters become '?'; the five unassigned
// bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the
// same number and back.
std::string wideToAnsi(const std::wstring& text);
std::wstring ansiToWide(const std::string& text);
wchar_t ansiCharToWide(unsigned char byte);
// '?' when the character has no byte in the code page.
char wideCharToAnsi(wchar_t ch);
bool wideCharHasAnsi(wchar_t ch);

// UTF-16 (characters above U+FFFF become surrogate pairs; unpaired
// surrogates decode to themselves).
std::u16string wideToUtf16(const std::wstring& text);
std::wstring utf16ToWide(const std::u16string& text);

// UTF-8 (invalid bytes decode to U+FFFD).
std::string wideToUtf8(const std::wstring& text);
std::wstring utf8ToWide(const std::string& text);
// The same conversions appending to a buffer the caller keeps, for text
// that arrives or leaves in many small pieces (one line, one name).
void appendUtf8AsWide(std::wstring& out, std::string_view text);
void appendWideAsUtf8(std::string& out, std::wstring_view text);

// Character classes independent of the C locale: upper-casing of ASCII and
// Latin-1 letters; printable means not a C0 control, not DEL, not a C1 control.
wchar_t upperChar(wchar_t ch);
wchar_t lowerChar(wchar_t ch);
bool isPrintableChar(wchar_t ch);
std::wstring upperText(const std::wstring& text);
// Upper-cases the characters from `from` on.
void upperInPlace(std::wstring& text, std::size_t from = 0);
