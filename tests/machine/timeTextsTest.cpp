#include "machine/timeTexts.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

namespace {

// Sunday 2 January 2005, 03:04:05 UTC (the fixture runs in UTC).
constexpr std::time_t fixedTime = 1104635045;

class timeTextsTest : public prefixTest {};

TEST_F(timeTextsTest, fixedForms)
{
    std::tm t{};
    t.tm_mday = 1;
    t.tm_mon = 0;
    t.tm_year = 105;
    EXPECT_EQ(formatDayMonYear(t), L"01Jan05");
    t.tm_mday = 8;
    t.tm_mon = 11;
    t.tm_year = 126;
    EXPECT_EQ(formatDayMonYear(t), L"08Dec26");
    t.tm_year = 100;
    EXPECT_EQ(formatDayMonYear(t), L"08Dec00");

    EXPECT_EQ(monthAbbrev(1), L"Jan");
    EXPECT_EQ(monthAbbrev(12), L"Dec");
    EXPECT_EQ(monthAbbrev(0), L"");
    EXPECT_EQ(monthAbbrev(13), L"");

    EXPECT_EQ(secondsToHms(3725), L"01:02:05");
    EXPECT_EQ(secondsToHms(0), L"00:00:00");
    EXPECT_EQ(secondsToHms(360000), L"100:00:00");
    EXPECT_EQ(secondsToMs(125), L"02:05");
    EXPECT_EQ(secondsToMs(6000), L"100:00");

    EXPECT_EQ(formatAscTime(fixedTime), L"Sun Jan 02 03:04:05 2005\n");
    EXPECT_EQ(formatAscTime(fixedTime).size(), 25u);
    EXPECT_EQ(formatDate(fixedTime), L"1/2/2005");
    EXPECT_EQ(formatTime(fixedTime), L"3:04 AM");
    EXPECT_EQ(formatTime(fixedTime + 12 * 3600), L"3:04 PM");
}

TEST_F(timeTextsTest, sameDayAndStamps)
{
    EXPECT_TRUE(isSameDay(fixedTime, fixedTime - 3 * 3600));
    EXPECT_FALSE(isSameDay(fixedTime, fixedTime - 4 * 3600));
    EXPECT_FALSE(isSameDay(fixedTime, fixedTime + 365 * 86400 - 86400));

    const std::time_t now = std::time(nullptr);
    std::tm today{};
    gmtime_r(&now, &today);
    // A day of the month other than today's shows the date.
    const std::time_t otherDay = today.tm_mday == 2 ? fixedTime + 86400 : fixedTime;
    const std::wstring expected = today.tm_mday == 2 ? L"Jan 03, 03:04" : L"Jan 02, 03:04";
    EXPECT_EQ(formatTimeStamp(otherDay, false), expected);
    EXPECT_EQ(formatTimeStamp(otherDay, true), expected);

    const std::wstring clock = formatTimeStamp(now, false);
    ASSERT_EQ(clock.size(), 5u);
    EXPECT_EQ(clock[2], L':');
    EXPECT_EQ(formatTimeStamp(now, true).substr(8), clock);

    const std::wstring timeNow = getTimeNow();
    ASSERT_EQ(timeNow.size(), 8u);
    EXPECT_EQ(timeNow.substr(0, 5), clock.substr(0, 5)) << "unless a minute just turned";
}

TEST_F(timeTextsTest, strftimeFormatsInTheCLocale)
{
    struct case_t {
        std::wstring format, expected;
    };
    const case_t cases[] = {
        {L"%d%b%y", L"02Jan05"},
        {L"%Y-%m-%d %H:%M:%S", L"2005-01-02 03:04:05"},
        {L"%#d.%#m.", L"2.1."},
        {L"%c", L"01/02/05 03:04:05"},
        {L"%A %B %p", L"Sunday January AM"},
        {L"\u00B5 100%%", L"\u00B5 100%"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatLocalTime(fixedTime, c.format), c.expected) << c.format;
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    gmtime_r(&now, &today);
    EXPECT_EQ(formatNow(L"%Y"), std::to_wstring(today.tm_year + 1900));
}

}  // namespace
