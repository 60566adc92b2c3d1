// Runs of plain ASCII, the bulk of every settings and registry text, taken a
// machine word at a time: one test per eight characters instead of several
// per character. Each function handles the run at the start of its range and
// leaves the pointers after it; the caller deals with the character that
// ended the run.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the word layouts below are little-endian");

inline std::uint64_t loadWord(const void* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline void storeWord(void* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

inline void storeHalfWord(void* p, std::uint32_t w) { std::memcpy(p, &w, sizeof w); }

// Two characters of a wide text in one word: both below 0x80.
constexpr std::uint64_t kWideNotAscii = 0xFFFFFF80FFFFFF80ull;

// Bytes below 0x80 widened to characters.
inline void widenAsciiRun(const unsigned char*& p, const unsigned char* end, wchar_t*& o) {
    while (end - p >= 8) {
        const std::uint64_t w = loadWord(p);
        if ((w & 0x8080808080808080ull) != 0) break;
        // Byte k goes to the low byte of character k: two characters a word.
        storeWord(o, (w & 0xFF) | ((w & 0xFF00) << 24));
        storeWord(o + 2, ((w >> 16) & 0xFF) | (((w >> 16) & 0xFF00) << 24));
        storeWord(o + 4, ((w >> 32) & 0xFF) | (((w >> 32) & 0xFF00) << 24));
        storeWord(o + 6, ((w >> 48) & 0xFF) | (((w >> 48) & 0xFF00) << 24));
        p += 8;
        o += 8;
    }
    while (p != end && *p < 0x80) *o++ = static_cast<wchar_t>(*p++);
}

// Characters below 0x80 narrowed to bytes.
inline void narrowAsciiRun(const wchar_t*& p, const wchar_t* end, char*& o) {
    while (end - p >= 4) {
        const std::uint64_t a = loadWord(p);
        const std::uint64_t b = loadWord(p + 2);
        if (((a | b) & kWideNotAscii) != 0) break;
        storeHalfWord(o, static_cast<std::uint32_t>((a & 0xFF) | ((a >> 24) & 0xFF00) | ((b & 0xFF) << 16) | ((b >> 8) & 0xFF000000)));
        p += 4;
        o += 4;
    }
    while (p != end && static_cast<std::uint32_t>(*p) < 0x80) *o++ = static_cast<char>(*p++);
}

// ASCII letters upper-cased in place, two characters a word; stops at the
// first character from 0x80 up.
inline void upperAsciiRun(wchar_t*& p, wchar_t* end) {
    while (end - p >= 2) {
        const std::uint64_t w = loadWord(p);
        if ((w & kWideNotAscii) != 0) break;
        // Below 0x80, c + 0x1F reaches bit 7 from 'a' on and c + 0x05 from
        // '{' on: the letters are the characters with the first and not
        // the second, and lose 0x20.
        const std::uint64_t letters = (w + 0x0000001F0000001Full) & ~(w + 0x0000000500000005ull) & 0x0000008000000080ull;
        storeWord(p, w - (letters >> 2));
        p += 2;
    }
    if (p != end && static_cast<std::uint32_t>(*p) < 0x80) {
        if (*p >= L'a' && *p <= L'z') *p = static_cast<wchar_t>(*p - 0x20);
        ++p;
    }
}
