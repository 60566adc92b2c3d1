#include "machine/textUtils.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(textUtilsTest, getLineSkipsOneCharacterWhenAsked)
{
    std::istringstream narrow("first\n\nx\nlast");
    EXPECT_EQ(getLine(narrow, false), "first");
    EXPECT_EQ(getLine(narrow, false), "");
    EXPECT_EQ(getLine(narrow, true), "");  // drops 'x', then the rest of its line
    EXPECT_EQ(getLine(narrow, false), "last");
    EXPECT_TRUE(narrow.eof());

    std::wistringstream wide(L"=value\nnext\n");
    EXPECT_EQ(getLine(wide, true), L"value");
    EXPECT_EQ(getLine(wide, false), L"next");
}

TEST(textUtilsTest, conversionsUseTheSystemCodePage)
{
    struct case_t {
        std::wstring wide;
        std::string narrow;
    };
    const case_t cases[] = {
        {L"abc", "abc"},
        {L"5 \u00B5m", "5 \xB5m"},
        {L"\u20AC\u00E9\u00FF", "\x80\xE9\xFF"},
        {L"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wstrToStr(c.wide), c.narrow);
        EXPECT_EQ(strToWstr(c.narrow), c.wide);
    }
    EXPECT_EQ(wstrToStr(L"a\x4E2D" L"b"), "a?b") << "missing characters become the default character";
}

TEST(textUtilsTest, upperCaseAndPrintableIgnoreTheLocale)
{
    EXPECT_EQ(toUpper(L"tovrik.exe /i 2 \u00E4\u00E9"), L"TOVRIK.EXE /I 2 \u00C4\u00C9");
    EXPECT_EQ(printableOnly(L"a\tb\r\nc\x7F\u0085d \u00E9"), L"abcd \u00E9");
    EXPECT_EQ(printableOnly(L""), L"");
}

}  // namespace
