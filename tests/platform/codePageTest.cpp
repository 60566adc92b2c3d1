#include "platform/codePage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, windows1252BytesAndCharacters) {
    struct row_t {
        unsigned char byte;
        wchar_t wide;
    };
    const row_t rows[] = {
        {0x41, L'A'},     {0xB5, 0x00B5},  // µ, as the parameters files need it
        {0x80, 0x20AC},   {0x8A, 0x0160}, {0x92, 0x2019}, {0x9F, 0x0178},
        {0x81, 0x0081},   {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D},  // unassigned
        {0xA0, 0x00A0},   {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x00, 0x0000},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ansiCharToWide(r.byte), r.wide) << int(r.byte);
        EXPECT_EQ(static_cast<unsigned char>(wideCharToAnsi(r.wide)), r.byte) << int(r.byte);
    }
    // Every byte survives the round trip.
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(wideToAnsi(ansiToWide(all)), all);
}

TEST(CodePage, unmappableCharactersBecomeTheDefaultCharacter) {
    EXPECT_EQ(wideToAnsi(L"a\u0394b\u4E2D\U0001F600"), "a?b??");
    EXPECT_FALSE(wideCharHasAnsi(0x0394));
    EXPECT_FALSE(wideCharHasAnsi(0x0080));  // the C1 control 0x80 is not a byte of the code page
    EXPECT_EQ(wideToAnsi(L"5\u00B5m"), "5\xB5m");
}

TEST(CodePage, utf16SurrogatesAndUnpairedHalves) {
    const std::wstring text = L"A\u00E9\U0001F600\U00010000\U0010FFFF";
    const std::u16string utf16 = wideToUtf16(text);
    const std::u16string expected = {u'A', 0x00E9, 0xD83D, 0xDE00, 0xD800, 0xDC00, 0xDBFF, 0xDFFF};
    EXPECT_EQ(utf16, expected);
    EXPECT_EQ(utf16ToWide(utf16), text);
    // Lone surrogates decode to themselves.
    const std::u16string lone = {0xD800, u'x', 0xDC00};
    EXPECT_EQ(utf16ToWide(lone), (std::wstring{wchar_t(0xD800), L'x', wchar_t(0xDC00)}));
}

TEST(CodePage, utf8InvalidBytesDecodeToReplacement) {
    EXPECT_EQ(utf8ToWide("a\xC3\xA9" "b"), L"a\u00E9b");
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x98\x80"), L"\U0001F600");
    const std::wstring bad = utf8ToWide("x\xFFy\xC0\xAFz\xED\xA0\x80");
    EXPECT_EQ(bad.substr(0, 2), L"x\uFFFD");
    EXPECT_EQ(bad[2], L'y');
    EXPECT_EQ(bad.find(L'z'), 5u);  // the overlong form is two replacements
    EXPECT_EQ(wideToUtf8(L"\u00B5\U0001F600"), "\xC2\xB5\xF0\x9F\x98\x80");
}

TEST(CodePage, characterClassesDoNotDependOnTheLocale) {
    EXPECT_EQ(upperText(L"abc\u00E9\u00FF\u00DF\u00F7z"), L"ABC\u00C9\u0178\u00DF\u00F7Z");
    EXPECT_EQ(lowerChar(L'\u00C9'), L'\u00E9');
    EXPECT_TRUE(isPrintableChar(L'\u00E9'));
    EXPECT_TRUE(isPrintableChar(L' '));
    for (wchar_t c : {L'\t', L'\n', L'\r', wchar_t(0x7F), wchar_t(0x85), wchar_t(0x9F)}) EXPECT_FALSE(isPrintableChar(c)) << int(c);
}

TEST(CodePage, aCharacterConvertsAloneWhereverItStands) {
    // Plain ASCII is taken a word at a time: the first other character
    // lands on every position around the first two word boundaries.
    struct row_t {
        const char* utf8;
        std::wstring wide;
        bool backAgain;  // whether the wide form writes back to the same bytes
    };
    const row_t tails[] = {
        {"\xC3\xA9", L"\u00E9", true},
        {"\xF0\x9F\x98\x80", L"\U0001F600", true},
        {"\x7F\x01", L"\x7F\x01", true},
        {"\xFF", L"\uFFFD", false},
        {"\xE2\x82", L"\uFFFD\uFFFD", false},  // cut short by the end
        {"\xE2\x82z", L"\uFFFD\uFFFDz", false},  // cut short by a plain byte, which stays
    };
    for (std::size_t at = 0; at <= 17; ++at) {
        for (const auto& t : tails) {
            const std::string ascii(at, 'k');
            const std::string bytes = ascii + t.utf8 + "Qz";
            const std::wstring wide = std::wstring(at, L'k') + t.wide + L"Qz";
            EXPECT_EQ(utf8ToWide(bytes), wide) << at << " " << t.utf8;
            if (t.backAgain) {
                EXPECT_EQ(wideToUtf8(wide), bytes) << at << " " << t.utf8;
            }
        }
        // Characters with no UTF-8 form after a run of ASCII.
        for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000), wchar_t(-1)})
            EXPECT_EQ(wideToUtf8(std::wstring(at, L'k') + bad + L"Q"), std::string(at, 'k') + "\xEF\xBF\xBDQ") << at;
    }
}

TEST(CodePage, upperCasingFromAnyPosition) {
    struct row_t {
        std::wstring text;
        std::size_t from;
        std::wstring upper;
    };
    const row_t rows[] = {
        {L"`az{@AZ[", 0, L"`AZ{@AZ["},  // the neighbours of both letter ranges stay
        {L"abcdefghijklmnopqrstuvwxyz", 0, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {L"abcdefghijklmnopqrstuvwxyz", 25, L"abcdefghijklmnopqrstuvwxyZ"},
        {L"abcdefghijklmnopqrstuvwxyz", 3, L"abcDEFGHIJKLMNOPQRSTUVWXYZ"},
        {L"ab\u00E9c\u00FFd\u00F7e\u00DFf\u0101g", 0, L"AB\u00C9C\u0178D\u00F7E\u00DFF\u0101G"},
        {L"ab\u00E9c", 2, L"ab\u00C9C"},
        {L"abc", 3, L"abc"},
        {L"abc", 9, L"abc"},
        {L"", 0, L""},
    };
    for (const auto& r : rows) {
        std::wstring text = r.text;
        upperInPlace(text, r.from);
        EXPECT_EQ(text, r.upper) << r.from;
    }
}

}  // namespace
