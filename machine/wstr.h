// The system's wide text: every message, path, log line and registry value is
// built by appending values to a wstr_t. toStr gives every value one fixed
// text form, whatever the process locale is:
// - integers: plain decimal, a minus sign for negative values only;
// - floats and doubles: six significant digits, trailing zeros dropped,
//   fixed notation for decimal exponents -4..5, scientific otherwise with an
//   exponent of at least three digits ("6.2e-005"), '.' as decimal point;
// - text is copied unchanged (narrow text through the system code page).
#pragma once
#include <cstdint>
#include <istream>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

std::wstring toStr(int value);
std::wstring toStr(unsigned value);
std::wstring toStr(long value);
std::wstring toStr(unsigned long value);
std::wstring toStr(long long value);
std::wstring toStr(unsigned long long value);
std::wstring toStr(short value);
std::wstring toStr(unsigned short value);
std::wstring toStr(double value);
std::wstring toStr(float value);  // widened to double first
std::wstring toStr(long double value);
std::wstring toStr(bool value);   // "1" or "0", as a stream writes it
std::wstring toStr(wchar_t value);
std::wstring toStr(char value);   // through the system code page
std::wstring toStr(const wchar_t* value);
std::wstring toStr(const std::wstring& value);
std::wstring toStr(std::wstring_view value);
std::wstring toStr(const char* value);  // through the system code page
std::wstring toStr(const std::string& value);

// Any other type with a wide stream insertion operator: written into a fresh
// classic-locale stream, so that no stream setting carries over.
template <class T>
    requires(!std::is_arithmetic_v<T> && !std::is_convertible_v<const T&, std::wstring_view> &&
             !std::is_convertible_v<const T&, const char*> && !std::is_same_v<T, std::string>)
std::wstring toStr(const T& value)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

class wstr_t : public std::wstring {
public:
    wstr_t() = default;
    wstr_t(const std::wstring& text) : std::wstring(text) {}
    wstr_t(std::wstring&& text) : std::wstring(std::move(text)) {}
    wstr_t(const wchar_t* text) : std::wstring(toStr(text)) {}
    // Starts the text as toStr(value).
    template <class T>
        requires(!std::is_convertible_v<const T&, std::wstring>)
    explicit wstr_t(const T& value) : std::wstring(toStr(value))
    {
    }

    // Appends toStr(value); appends chain. Beyond the largest length a
    // string can hold this throws std::length_error.
    template <class T>
    wstr_t& operator<<(const T& value)
    {
        append(toStr(value));
        return *this;
    }
    wstr_t& operator<<(const wchar_t* value)
    {
        append(value == nullptr ? L"" : value);
        return *this;
    }
    wstr_t& operator<<(const std::wstring& value)
    {
        append(value);
        return *this;
    }
};

// A double read from the text with a classic wide stream: leading blanks
// skipped, reading stops at the first character that cannot continue the
// number; 0 when nothing can be read.
double parseDouble(const std::wstring& text);
// The text in the system code page, read as the run-time library's atof
// reads it (in the C locale, whatever the process locale is).
double parseDoubleAnsi(const std::wstring& text);
bool wstringNotEqual(const std::wstring& a, const std::wstring& b);
// The length of the stream's data (seeks to its end and back); the read
// position is unchanged (a negative position counts as 0).
std::int32_t streamSize(std::istream& in);
std::int32_t streamSize(std::wistream& in);
