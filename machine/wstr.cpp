#include "machine/wstr.h"

#include "platform/codePage.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

template <class I>
std::wstring integerText(I value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::wstring(buffer, result.ptr);
}

// The old run-time library wrote at least three exponent digits, and parts of
// the system show such texts ("6.2e-005mm"), so the exponent is widened here.
std::wstring floatingText(const char* first, const char* last)
{
    std::string text(first, last);
    std::size_t e = text.find('e');
    if (e != std::string::npos) {
        std::size_t digits = e + 1;
        if (digits < text.size() && (text[digits] == '+' || text[digits] == '-'))
            ++digits;
        std::size_t count = text.size() - digits;
        if (count < 3)
            text.insert(digits, 3 - count, '0');
    }
    return std::wstring(text.begin(), text.end());
}

template <class F>
std::wstring generalText(F value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return floatingText(buffer, result.ptr);
}

template <class S>
std::int32_t streamSizeOf(S& in)
{
    auto here = in.tellg();
    if (here < 0)
        here = 0;
    in.seekg(0, std::ios_base::end);
    auto end = in.tellg();
    in.seekg(here);
    return static_cast<std::int32_t>(static_cast<std::streamoff>(end));
}

}  // namespace

std::wstring toStr(int value) { return integerText(value); }
std::wstring toStr(unsigned value) { return integerText(value); }
std::wstring toStr(long value) { return integerText(value); }
std::wstring toStr(unsigned long value) { return integerText(value); }
std::wstring toStr(long long value) { return integerText(value); }
std::wstring toStr(unsigned long long value) { return integerText(value); }
std::wstring toStr(short value) { return integerText(value); }
std::wstring toStr(unsigned short value) { return integerText(value); }
std::wstring toStr(double value) { return generalText(value); }
std::wstring toStr(float value) { return generalText(static_cast<double>(value)); }
std::wstring toStr(long double value) { return generalText(value); }
std::wstring toStr(bool value) { return value ? L"1" : L"0"; }
std::wstring toStr(wchar_t value) { return std::wstring(1, value); }
std::wstring toStr(char value) { return std::wstring(1, ansiCharToWide(static_cast<unsigned char>(value))); }
std::wstring toStr(const wchar_t* value) { return value == nullptr ? std::wstring() : std::wstring(value); }
std::wstring toStr(const std::wstring& value) { return value; }
std::wstring toStr(std::wstring_view value) { return std::wstring(value); }
std::wstring toStr(const char* value) { return value == nullptr ? std::wstring() : ansiToWide(value); }
std::wstring toStr(const std::string& value) { return ansiToWide(value); }

double parseDouble(const std::wstring& text)
{
    std::wistringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    if (!(in >> value))
        value = 0;
    return value;
}

double parseDoubleAnsi(const std::wstring& text)
{
    // atof follows the process locale (a decimal comma after setlocale);
    // the system's numbers always use '.', so read them in the C locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string narrow = wideToAnsi(text);
    if (cLocale == static_cast<locale_t>(nullptr))
        return std::atof(narrow.c_str());
    return strtod_l(narrow.c_str(), nullptr, cLocale);
}

bool wstringNotEqual(const std::wstring& a, const std::wstring& b)
{
    return a.size() != b.size() || a.compare(b) != 0;
}

std::int32_t streamSize(std::istream& in) { return streamSizeOf(in); }
std::int32_t streamSize(std::wistream& in) { return streamSizeOf(in); }
