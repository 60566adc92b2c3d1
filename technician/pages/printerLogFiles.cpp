#include "technician/pages/printerLogFiles.h"

#include "machine/globalNames.h"
#include "platform/identity.h"
#include "machine/timeTexts.h"

calendarDay_t localDay(std::time_t time)
{
    std::tm local{};
    if (!localTime(time, local))
        return calendarDay_t{};
    return calendarDay_t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::wstring dailyLogPath(const std::wstring& machineFolder, const calendarDay_t& day)
{
    std::tm date{};
    date.tm_year = day.year - 1900;
    date.tm_mon = day.month - 1;
    date.tm_mday = day.day;
    return machineFolder + L"/" + dailyLogsFolderName + L"/" + formatDayMonYear(date) + L".LOG";
}

std::wstring modelLogPath(const std::wstring& machineFolder, const std::wstring& title)
{
    return machineFolder + L"/" + modelsLogsFolderName + L"/" + title + L".log";
}

calendarDay_t earliestLogDay(const std::vector<fileEntry_t>& found, const calendarDay_t& today)
{
    bool any = false;
    calendarDay_t earliest = today;
    for (const fileEntry_t& entry : found) {
        if (entry.isFolder)
            continue;
        const calendarDay_t day = localDay(entry.lastWrite);
        if (!any || day < earliest)
            earliest = day;
        any = true;
    }
    return earliest;
}

std::vector<std::wstring> modelLogTitles(const std::vector<fileEntry_t>& found, const calendarDay_t& day)
{
    std::vector<std::wstring> titles;
    for (const fileEntry_t& entry : found) {
        if (entry.isFolder || localDay(entry.lastWrite) != day)
            continue;
        const std::size_t dot = entry.name.rfind(L'.');
        titles.push_back(dot == std::wstring::npos ? entry.name : entry.name.substr(0, dot));
    }
    return titles;
}

calendarDay_t earliestDailyLogDay(const std::wstring& machineFolder, const calendarDay_t& today)
{
    return earliestLogDay(findFiles(machineFolder + L"/" + dailyLogsFolderName + L"/*.LOG"), today);
}

std::vector<std::wstring> modelLogTitlesOf(const std::wstring& machineFolder, const calendarDay_t& day)
{
    return modelLogTitles(findFiles(machineFolder + L"/" + modelsLogsFolderName + L"/*.log"), day);
}
