// Who and where: user and computer names and the date and time patterns of
// the prefix's platform.conf ([identity], [formats]).
#pragma once
#include <ctime>
#include <string>

// [identity] user, else the login name.
std::wstring userName();
// [identity] computer, else the host name; at most 15 characters, upper case.
std::wstring computerName();
// Local time of a time value (TZ respected); false when it cannot be had.
bool localTime(std::time_t t, std::tm& out);
// The short date ([formats] shortdate, default "M/d/yyyy") and the time
// without seconds ([formats] time, default "h:mm tt") of a local time.
// Pattern letters: d dd M MM MMM yy yyyy h hh H HH m mm s ss t tt; text in
// single quotes is copied.
std::wstring formatShortDate(const std::tm& t);
std::wstring formatTimeNoSeconds(const std::tm& t);
std::wstring formatWithPattern(const std::tm& t, const std::wstring& pattern);
