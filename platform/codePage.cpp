#include "platform/codePage.h"

#include "platform/asciiRuns.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Bytes 0x80..0x9F of Windows-1252. The five bytes the code page leaves
// unassigned map to the C1 control character of the same number, so every
// byte survives a round trip.
constexpr wchar_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool byteForWide(wchar_t ch, unsigned char& out) {
    const auto c = static_cast<std::uint32_t>(ch);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<unsigned char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (static_cast<std::uint32_t>(kHigh[i]) == c) {
            out = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

constexpr char32_t kReplacement = 0xFFFD;

// Upper case of the first 256 characters: ASCII and Latin-1 letters (the
// division sign is no letter; y with diaeresis has its capital outside).
constexpr std::array<wchar_t, 256> makeUpperTable() {
    std::array<wchar_t, 256> table{};
    for (std::uint32_t c = 0; c < 256; ++c) {
        std::uint32_t u = c;
        if (c >= 'a' && c <= 'z') u = c - 0x20;
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) u = c - 0x20;
        if (c == 0xFF) u = 0x178;
        table[c] = static_cast<wchar_t>(u);
    }
    return table;
}
constexpr std::array<wchar_t, 256> kUpper = makeUpperTable();

}  // namespace

wchar_t ansiCharToWide(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHigh[byte - 0x80];
    return static_cast<wchar_t>(byte);
}

char wideCharToAnsi(wchar_t ch) {
    unsigned char b = 0;
    if (!byteForWide(ch, b)) return '?';
    return static_cast<char>(b);
}

bool wideCharHasAnsi(wchar_t ch) {
    unsigned char b = 0;
    return byteForWide(ch, b);
}

// Both directions map one character to one: the result is sized once and
// filled in place, as whole files pass through here.
std::string wideToAnsi(const std::wstring& text) {
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t ch = text[i];
        out[i] = static_cast<std::uint32_t>(ch) < 0x80 ? static_cast<char>(ch) : wideCharToAnsi(ch);
    }
    return out;
}

std::wstring ansiToWide(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = ansiCharToWide(static_cast<unsigned char>(text[i]));
    return out;
}

std::u16string wideToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF) c = kReplacement;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring utf16ToWide(const std::u16string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const std::uint32_t d = text[i + 1];
            if (d >= 0xDC00 && d < 0xE000) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00)));
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

// Both conversions run under every path, registry and settings text; they
// write into a buffer sized for the longest result and trim it once, rather
// than growing a string character by character, and take runs of plain
// ASCII a word at a time.
void appendWideAsUtf8(std::string& out, std::wstring_view text) {
    const std::size_t start = out.size();
    out.resize(start + text.size() * 4);
    char* const first = out.data() + start;
    char* o = first;
    const wchar_t* p = text.data();
    const wchar_t* const end = p + text.size();
    while (p != end) {
        narrowAsciiRun(p, end, o);
        if (p == end) break;
        auto c = static_cast<std::uint32_t>(*p++);
        // Surrogates and values beyond Unicode have no UTF-8 form.
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = kReplacement;
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(start + static_cast<std::size_t>(o - first));
}

void appendUtf8AsWide(std::wstring& out, std::string_view text) {
    // Never more characters than bytes.
    const std::size_t start = out.size();
    out.resize(start + text.size());
    wchar_t* const first = out.data() + start;
    wchar_t* o = first;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p != end) {
        widenAsciiRun(p, end, o);
        if (p == end) break;
        const unsigned b0 = *p;
        int len = 0;
        std::uint32_t c = 0;
        std::uint32_t min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; c = b0 & 0x1F; min = 0x80; }
        else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; c = b0 & 0x0F; min = 0x800; }
        else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; c = b0 & 0x07; min = 0x10000; }
        bool ok = len > 0 && end - p >= len;
        for (int m = 1; ok && m < len; ++m) {
            const unsigned b = p[m];
            if ((b & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (b & 0x3F);
        }
        if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) ok = false;
        if (!ok) {
            // One replacement per invalid lead byte; the next byte starts afresh.
            *o++ = static_cast<wchar_t>(kReplacement);
            ++p;
            continue;
        }
        *o++ = static_cast<wchar_t>(c);
        p += len;
    }
    out.resize(start + static_cast<std::size_t>(o - first));
}

std::string wideToUtf8(const std::wstring& text) {
    std::string out;
    appendWideAsUtf8(out, text);
    return out;
}

std::wstring utf8ToWide(const std::string& text) {
    std::wstring out;
    appendUtf8AsWide(out, text);
    return out;
}

wchar_t upperChar(wchar_t ch) {
    // Every name lookup upper-cases its key: one table read per character.
    const auto c = static_cast<std::uint32_t>(ch);
    return c < kUpper.size() ? kUpper[c] : ch;
}

wchar_t lowerChar(wchar_t ch) {
    const auto c = static_cast<std::uint32_t>(ch);
    if (c >= 'A' && c <= 'Z') return static_cast<wchar_t>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
    if (c == 0x178) return static_cast<wchar_t>(0xFF);
    return ch;
}

bool isPrintableChar(wchar_t ch) {
    const auto c = static_cast<std::uint32_t>(ch);
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0x80 && c < 0xA0) return false;
    return true;
}

void upperInPlace(std::wstring& text, std::size_t from) {
    if (from >= text.size()) return;
    wchar_t* p = text.data() + from;
    wchar_t* const end = text.data() + text.size();
    while (p != end) {
        upperAsciiRun(p, end);
        if (p == end) break;
        *p = upperChar(*p);
        ++p;
    }
}

std::wstring upperText(const std::wstring& text) {
    std::wstring out(text);
    upperInPlace(out);
    return out;
}
