// The fixed time and date texts of file names, logs and prints. Local time
// follows TZ; month names come from our own table, never from the locale.
#pragma once
#include <ctime>
#include <string>

// "08:05:09"; empty when the local time cannot be had.
std::wstring getTimeNow();
// "Jan" .. "Dec" for 1..12; empty for any other number.
std::wstring monthAbbrev(int month);
// Two-digit day, month abbreviation, two-digit year: "08Dec26".
std::wstring formatDayMonYear(const std::tm& time);
// The user's short date and time without seconds (the prefix's formats).
std::wstring formatDate(std::time_t time);
std::wstring formatTime(std::time_t time);
// Same local year, month and day.
bool isSameDay(std::time_t a, std::time_t b);
// 3725 -> "01:02:05" (hours two or more digits).
std::wstring secondsToHms(long long seconds);
// 125 -> "02:05" (minutes two or more digits).
std::wstring secondsToMs(long long seconds);
// "Dec 08, 14:05" when alwaysWithDate or the day of the month is not
// today's, else "14:05"; empty when the local time cannot be had.
std::wstring formatTimeStamp(std::time_t time, bool alwaysWithDate);
// The run-time library's 26-character form with a zero-padded day:
// "Wed Jan 02 02:03:55 1980\n"; empty when the local time cannot be had.
std::wstring formatAscTime(std::time_t time);
// The current local time through a strftime format, in the C locale
// ("%#d" drops leading zeros, "%c" is "%m/%d/%y %H:%M:%S").
std::wstring formatNow(const std::wstring& format);
std::wstring formatLocalTime(std::time_t time, const std::wstring& format);
