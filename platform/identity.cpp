#include "platform/identity.h"

#include "platform/codePage.h"
#include "platform/decimal.h"
#include "platform/prefix.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

const wchar_t* const kMonthShort[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                      L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
const wchar_t* const kMonthLong[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                     L"July",    L"August",   L"September", L"October", L"November", L"December"};
const wchar_t* const kDayShort[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
const wchar_t* const kDayLong[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};

std::wstring number(int value, int minDigits) {
    std::wstring text = wideAscii(decimalText(value < 0 ? -static_cast<std::int64_t>(value) : value));
    while (static_cast<int>(text.size()) < minDigits) text.insert(text.begin(), L'0');
    return value < 0 ? L"-" + text : text;
}

}  // namespace

std::wstring userName() {
    const std::wstring configured = configValue(L"identity", L"user", L"");
    if (!configured.empty()) return configured;
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_name)
        return utf8ToWide(found->pw_name);
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return utf8ToWide(user);
    return L"user";
}

std::wstring computerName() {
    std::wstring name = configValue(L"identity", L"computer", L"");
    if (name.empty()) {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0) {
            std::string h = host;
            const std::size_t dot = h.find('.');
            if (dot != std::string::npos) h.resize(dot);
            name = utf8ToWide(h);
        }
    }
    if (name.empty()) name = L"LOCALHOST";
    if (name.size() > 15) name.resize(15);
    return upperText(name);
}

bool localTime(std::time_t t, std::tm& out) { return ::localtime_r(&t, &out) != nullptr; }

std::wstring formatShortDate(const std::tm& t) {
    return formatWithPattern(t, configValue(L"formats", L"shortdate", L"M/d/yyyy"));
}

std::wstring formatTimeNoSeconds(const std::tm& t) {
    return formatWithPattern(t, configValue(L"formats", L"time", L"h:mm tt"));
}

std::wstring formatWithPattern(const std::tm& t, const std::wstring& pattern) {
    std::wstring out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const wchar_t c = pattern[i];
        if (c == L'\'') {
            // Quoted text is copied; '' inside quotes is one quote.
            ++i;
            while (i < pattern.size()) {
                if (pattern[i] == L'\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == L'\'') {
                        out += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern[i++];
            }
            continue;
        }
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        const int n = static_cast<int>(run);
        const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
        const int month = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
        const int weekday = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
        switch (c) {
        case L'd':
            if (n <= 2) out += number(t.tm_mday, n);
            else out += n == 3 ? kDayShort[weekday] : kDayLong[weekday];
            break;
        case L'M':
            if (n <= 2) out += number(t.tm_mon + 1, n);
            else out += n == 3 ? kMonthShort[month] : kMonthLong[month];
            break;
        case L'y':
            if (n <= 2) out += number((t.tm_year + 1900) % 100, n);
            else out += number(t.tm_year + 1900, 4);
            break;
        case L'h': out += number(hour12, n >= 2 ? 2 : 1); break;
        case L'H': out += number(t.tm_hour, n >= 2 ? 2 : 1); break;
        case L'm': out += number(t.tm_min, n >= 2 ? 2 : 1); break;
        case L's': out += number(t.tm_sec, n >= 2 ? 2 : 1); break;
        case L't':
            out += t.tm_hour < 12 ? (n >= 2 ? L"AM" : L"A") : (n >= 2 ? L"PM" : L"P");
            break;
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}
