#include "machine/timeTexts.h"

#include "machine/wstr.h"
#include "platform/identity.h"

#include <clocale>
#include <cwchar>
#include <locale.h>
#include <vector>

namespace {

constexpr std::size_t dateTextChars = 259;

// At least two digits, zero-padded.
std::wstring twoDigits(long long value)
{
    if (value >= 0 && value < 10)
        return L"0" + toStr(value);
    return toStr(value);
}

std::wstring limited(const std::wstring& text)
{
    return text.size() > dateTextChars ? text.substr(0, dateTextChars) : text;
}

}  // namespace

std::wstring getTimeNow()
{
    std::tm t{};
    if (!localTime(std::time(nullptr), t))
        return std::wstring();
    return twoDigits(t.tm_hour) + L":" + twoDigits(t.tm_min) + L":" + twoDigits(t.tm_sec);
}

std::wstring monthAbbrev(int month)
{
    static const wchar_t* const names[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                           L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    if (month < 1 || month > 12)
        return std::wstring();
    return names[month - 1];
}

std::wstring formatDayMonYear(const std::tm& time)
{
    return twoDigits(time.tm_mday) + monthAbbrev(time.tm_mon + 1) + twoDigits((time.tm_year + 1900) % 100);
}

std::wstring formatDate(std::time_t time)
{
    std::tm t{};
    if (!localTime(time, t))
        return std::wstring();
    return limited(formatShortDate(t));
}

std::wstring formatTime(std::time_t time)
{
    std::tm t{};
    if (!localTime(time, t))
        return std::wstring();
    return limited(formatTimeNoSeconds(t));
}

bool isSameDay(std::time_t a, std::time_t b)
{
    std::tm ta{};
    std::tm tb{};
    if (!localTime(a, ta) || !localTime(b, tb))
        return false;
    return ta.tm_year == tb.tm_year && ta.tm_mon == tb.tm_mon && ta.tm_mday == tb.tm_mday;
}

std::wstring secondsToHms(long long seconds)
{
    if (seconds < 0)
        return L"-" + secondsToHms(-seconds);
    return twoDigits(seconds / 3600) + L":" + twoDigits(seconds / 60 % 60) + L":" + twoDigits(seconds % 60);
}

std::wstring secondsToMs(long long seconds)
{
    if (seconds < 0)
        return L"-" + secondsToMs(-seconds);
    return twoDigits(seconds / 60) + L":" + twoDigits(seconds % 60);
}

std::wstring formatTimeStamp(std::time_t time, bool alwaysWithDate)
{
    std::tm t{};
    std::tm today{};
    if (!localTime(time, t) || !localTime(std::time(nullptr), today))
        return std::wstring();
    std::wstring clock = twoDigits(t.tm_hour) + L":" + twoDigits(t.tm_min);
    if (alwaysWithDate || t.tm_mday != today.tm_mday)
        return monthAbbrev(t.tm_mon + 1) + L" " + twoDigits(t.tm_mday) + L", " + clock;
    return clock;
}

std::wstring formatAscTime(std::time_t time)
{
    static const wchar_t* const days[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    std::tm t{};
    if (!localTime(time, t) || t.tm_wday < 0 || t.tm_wday > 6)
        return std::wstring();
    return std::wstring(days[t.tm_wday]) + L" " + monthAbbrev(t.tm_mon + 1) + L" " + twoDigits(t.tm_mday) + L" " +
           twoDigits(t.tm_hour) + L":" + twoDigits(t.tm_min) + L":" + twoDigits(t.tm_sec) + L" " +
           toStr(t.tm_year + 1900) + L"\n";
}

std::wstring formatLocalTime(std::time_t time, const std::wstring& format)
{
    std::tm t{};
    if (!localTime(time, t))
        return std::wstring();
    // The time class's format function is the old run-time library's
    // strftime: '#' removes leading zeros and %c is the short numeric form.
    std::wstring pattern;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 >= format.size()) {
            pattern += format[i];
            continue;
        }
        wchar_t next = format[++i];
        if (next == L'#' && i + 1 < format.size()) {
            wchar_t letter = format[++i];
            if (letter == L'c')
                pattern += L"%A, %B %-d, %Y, %H:%M:%S";
            else if (letter == L'x')
                pattern += L"%A, %B %-d, %Y";
            else
                pattern += std::wstring(L"%-") + letter;
        } else if (next == L'c') {
            pattern += L"%m/%d/%y %H:%M:%S";
        } else {
            pattern += L'%';
            pattern += next;
        }
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (cLocale == static_cast<locale_t>(nullptr))
        return std::wstring();
    // A result of 0 characters is either an empty text or a buffer too small;
    // a pattern cannot grow beyond a few hundred characters per letter.
    for (std::size_t size = 256; size <= 64 * 1024 + pattern.size() * 64; size *= 4) {
        std::vector<wchar_t> buffer(size);
        std::size_t n = wcsftime_l(buffer.data(), buffer.size(), pattern.c_str(), &t, cLocale);
        if (n > 0 || pattern.empty())
            return std::wstring(buffer.data(), n);
    }
    return std::wstring();
}

std::wstring formatNow(const std::wstring& format)
{
    return formatLocalTime(std::time(nullptr), format);
}
