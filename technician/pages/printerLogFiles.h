// Where the logs page finds a machine's logs, all in its machine folder:
// "Daily_Logs/" + the day as "08Dec26" + ".LOG", "MachineReport.log" (the
// brief log) and "Models_Logs/" + a model log's name + ".log". The model
// logs of a day are those last written on that local day.
#pragma once
#include "platform/files.h"

#include <ctime>
#include <string>
#include <vector>

struct calendarDay_t {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    bool operator==(const calendarDay_t&) const = default;
    auto operator<=>(const calendarDay_t&) const = default;
};

// The local day of a time; 1 January 1970 when it cannot be had.
calendarDay_t localDay(std::time_t time);

std::wstring dailyLogPath(const std::wstring& machineFolder, const calendarDay_t& day);
std::wstring modelLogPath(const std::wstring& machineFolder, const std::wstring& title);

// The earliest local day on which one of the files was last written, or
// `today` when there are none (folders do not count).
calendarDay_t earliestLogDay(const std::vector<fileEntry_t>& found, const calendarDay_t& today);
// The titles (names without their extension) of the files last written on
// that day, in the order found.
std::vector<std::wstring> modelLogTitles(const std::vector<fileEntry_t>& found, const calendarDay_t& day);

// The same over the machine's folders.
calendarDay_t earliestDailyLogDay(const std::wstring& machineFolder, const calendarDay_t& today);
std::vector<std::wstring> modelLogTitlesOf(const std::wstring& machineFolder, const calendarDay_t& day);
