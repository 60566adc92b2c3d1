#include "machine/wstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace {

struct numberCase_t {
    std::wstring text;
    std::wstring expected;
};

TEST(wstrTest, numbersHaveOneFixedForm)
{
    const numberCase_t cases[] = {
        {toStr(0), L"0"},
        {toStr(-7), L"-7"},
        {toStr(4294967295u), L"4294967295"},
        {toStr(INT_MIN), L"-2147483648"},
        {toStr(static_cast<short>(-12)), L"-12"},
        {toStr(123456789012LL), L"123456789012"},
        {toStr(2.05), L"2.05"},
        {toStr(2.05f), L"2.05"},
        {toStr(0.5), L"0.5"},
        {toStr(12.0), L"12"},
        {toStr(-1.5), L"-1.5"},
        {toStr(1.0 / 3), L"0.333333"},
        {toStr(0.0), L"0"},
        {toStr(100000.0), L"100000"},
        {toStr(1000000.0), L"1e+006"},
        {toStr(1234567.0), L"1.23457e+006"},
        {toStr(0.0001), L"0.0001"},
        {toStr(0.00001), L"1e-005"},
        {toStr(62e-9 * 1000), L"6.2e-005"},
        {toStr(1e100), L"1e+100"},
        {toStr(999999.5), L"1e+006"},
        {toStr(true), L"1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

TEST(wstrTest, textIsCopiedUnchanged)
{
    EXPECT_EQ(toStr(L"a b\t"), L"a b\t");
    EXPECT_EQ(toStr(std::wstring(L"x\x4E2D")), L"x\x4E2D");
    EXPECT_EQ(toStr(static_cast<const wchar_t*>(nullptr)), L"");
    // Narrow text is in the system code page: 0xB5 is the micro sign.
    EXPECT_EQ(toStr("5 \xB5m"), L"5 \u00B5m");
    EXPECT_EQ(toStr('\xB5'), L"\u00B5");
}

TEST(wstrTest, appendsChainAndKeepNoStreamState)
{
    EXPECT_EQ(wstr_t() << 'a' << 1 << 2.5 << 'b', L"a12.5b");
    std::wstring name = L"Tovrik.exe";
    std::wstring message = wstr_t() << "Cannot copy " << name << ". Close this program if it's open, and retry.";
    EXPECT_EQ(message, L"Cannot copy Tovrik.exe. Close this program if it's open, and retry.");
    EXPECT_EQ(wstr_t(L"C:/m") << L"/" << 12u << L"/" << wstr_t(L"Settings"), L"C:/m/12/Settings");
    EXPECT_EQ(wstr_t(3.5), L"3.5");
    EXPECT_EQ(wstr_t(-4), L"-4");
    EXPECT_EQ(wstr_t(std::wstring(L"abc")) << 1e-5 << L'|' << 1.0f, L"abc1e-005|1");
}

TEST(wstrTest, parseDoubleReadsTheLeadingNumber)
{
    struct parseCase_t {
        std::wstring text;
        double expected;
    };
    const parseCase_t cases[] = {
        {L"12.5mm", 12.5}, {L"abc", 0}, {L"", 0}, {L" -3", -3}, {L"1e3", 1000}, {L"0.25 7", 0.25},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(parseDouble(c.text), c.expected) << c.text;
        EXPECT_DOUBLE_EQ(parseDoubleAnsi(c.text), c.expected) << c.text;
    }
}

TEST(wstrTest, wstringNotEqualComparesLengthAndCharacters)
{
    EXPECT_FALSE(wstringNotEqual(L"", L""));
    EXPECT_FALSE(wstringNotEqual(L"abc", L"abc"));
    EXPECT_TRUE(wstringNotEqual(L"abc", L"abC"));
    EXPECT_TRUE(wstringNotEqual(L"abc", L"ab"));
    EXPECT_TRUE(wstringNotEqual(std::wstring(L"a\0b", 3), std::wstring(L"a\0c", 3)));
}

TEST(wstrTest, streamSizeKeepsThePosition)
{
    std::istringstream narrow(std::string(100, 'x'));
    narrow.seekg(40);
    EXPECT_EQ(streamSize(narrow), 100);
    EXPECT_EQ(narrow.tellg(), 40);

    std::wistringstream wide(L"0123456789");
    wide.seekg(3);
    EXPECT_EQ(streamSize(wide), 10);
    wchar_t ch = 0;
    wide.get(ch);
    EXPECT_EQ(ch, L'3');
}

}  // namespace
