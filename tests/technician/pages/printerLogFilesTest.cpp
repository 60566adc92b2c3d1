// Where the logs page finds a machine's logs, and which model logs belong to
// a day (local time; tests run with TZ=UTC).
#include "technician/pages/printerLogFiles.h"

#include <gtest/gtest.h>

namespace {

constexpr std::time_t dec8at0 = 1796688000;  // 2026-12-08 00:00:00 UTC

fileEntry_t entry(const std::wstring& name, std::time_t lastWrite, bool folder = false)
{
    fileEntry_t e;
    e.name = name;
    e.lastWrite = lastWrite;
    e.isFolder = folder;
    return e;
}

TEST(PrinterLogFiles, Paths)
{
    EXPECT_EQ(dailyLogPath(L"C:/QVR_Printers/12", calendarDay_t{2026, 12, 8}),
              L"C:/QVR_Printers/12/Daily_Logs/08Dec26.LOG");
    EXPECT_EQ(dailyLogPath(L"C:/QVR_Printers/12", calendarDay_t{2031, 1, 25}),
              L"C:/QVR_Printers/12/Daily_Logs/25Jan31.LOG");
    EXPECT_EQ(modelLogPath(L"C:/QVR_Printers/12", L"Cube_08Dec26_1405"),
              L"C:/QVR_Printers/12/Models_Logs/Cube_08Dec26_1405.log");
    EXPECT_EQ(localDay(dec8at0 - 1), (calendarDay_t{2026, 12, 7}));
}

TEST(PrinterLogFiles, ModelLogsOfADayAndTheEarliestDay)
{
    const std::vector<fileEntry_t> found = {
        entry(L"Late.log", dec8at0 - 1),
        entry(L"Cube_08Dec26_0000.log", dec8at0),
        entry(L"Folder.log", dec8at0, true),
        entry(L"No extension", dec8at0 + 86399),
        entry(L"Next.day.log", dec8at0 + 86400),
    };
    const calendarDay_t dec8{2026, 12, 8};
    EXPECT_EQ(modelLogTitles(found, dec8), (std::vector<std::wstring>{L"Cube_08Dec26_0000", L"No extension"}));
    EXPECT_EQ(modelLogTitles(found, calendarDay_t{2026, 12, 9}), (std::vector<std::wstring>{L"Next.day"}));
    EXPECT_TRUE(modelLogTitles(found, calendarDay_t{2026, 12, 10}).empty());

    EXPECT_EQ(earliestLogDay(found, dec8), (calendarDay_t{2026, 12, 7}));
    EXPECT_EQ(earliestLogDay({entry(L"Old", 0, true)}, dec8), dec8);
}

}  // namespace
