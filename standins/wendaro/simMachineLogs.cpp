#include "standins/wendaro/simMachineLogs.h"

#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/longnameStream.h"
#include "machine/textFileIo.h"
#include "machine/textUtils.h"
#include "machine/timeTexts.h"
#include "machine/wstr.h"
#include "platform/identity.h"


namespace {

std::wstring twoDigits(int value) { return value >= 0 && value < 10 ? L"0" + toStr(value) : toStr(value); }

// The logs page reads through the code page; anything outside ASCII
// could read back differently, so it never gets there.
std::string asciiOf(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : (c == L'\t' ? ' ' : '?');
    return out;
}

// A model name as a file title: letters, digits, '-', '_' and '.' kept.
std::wstring fileTitleOf(const std::wstring& name)
{
    std::wstring out;
    for (wchar_t c : name) {
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                           c == L'-' || c == L'_' || c == L'.';
        out += plain ? c : L'_';
    }
    return out.empty() ? std::wstring(L"Model") : out;
}

}  // namespace

simMachineLogs_t::simMachineLogs_t(std::wstring dataRoot, std::uint32_t machineID)
    : dataRoot_(std::move(dataRoot)), machineID_(machineID)
{
}

std::wstring simMachineLogs_t::machineFolder() const { return dataRoot_ + L"/" + toStr(machineID_); }

std::wstring simMachineLogs_t::dailyLogPath(std::time_t when) const
{
    std::tm local{};
    if (!localTime(when, local))
        return std::wstring();
    return machineFolder() + L"/" + dailyLogsFolderName + L"/" + formatDayMonYear(local) + L".LOG";
}

std::wstring simMachineLogs_t::briefLogPath() const { return machineFolder() + L"/" + machineReportFileName; }

std::wstring simMachineLogs_t::embeddedVersionPath() const
{
    return machineFolder() + L"/" + settingsFolderName + L"/" + embeddedVersionFileName;
}

std::wstring simMachineLogs_t::clockText(std::time_t when)
{
    std::tm local{};
    if (!localTime(when, local))
        return L"00:00:00";
    return twoDigits(local.tm_hour) + L":" + twoDigits(local.tm_min) + L":" + twoDigits(local.tm_sec);
}

bool simMachineLogs_t::ensureFolders() const
{
    // One level at a time, as the platform creates folders; existing ones
    // are fine.
    const std::wstring folder = machineFolder();
    if (!fileExists(dataRoot_))
        createFolder(dataRoot_);
    createFolder(folder);
    createFolder(folder + L"/" + dailyLogsFolderName);
    createFolder(folder + L"/" + modelsLogsFolderName);
    createFolder(folder + L"/" + settingsFolderName);
    return fileExists(folder);
}

bool simMachineLogs_t::appendLine(const std::wstring& path, const std::wstring& text)
{
    if (path.empty())
        return false;
    // Text mode: the line feed goes out as CR LF.
    basic_longname_ofstream<char> out(path, std::ios_base::out | std::ios_base::app);
    if (!out.is_open())
        return false;
    out << asciiOf(text) << '\n';
    out.close();
    return !out.fail();
}

bool simMachineLogs_t::appendDaily(std::time_t when, const std::wstring& text)
{
    if (!enabled_ || !ensureFolders())
        return false;
    return appendLine(dailyLogPath(when), clockText(when) + L" " + text);
}

bool simMachineLogs_t::appendBrief(std::time_t when, const std::wstring& text)
{
    if (!enabled_ || !ensureFolders())
        return false;
    return appendLine(briefLogPath(), formatDate(when) + L" " + clockText(when) + L" -> " + text);
}

std::wstring simMachineLogs_t::openModelLog(std::time_t when, const std::wstring& modelName,
                                            const std::wstring& firstLine)
{
    if (!enabled_ || !ensureFolders())
        return std::wstring();
    std::tm local{};
    if (!localTime(when, local))
        return std::wstring();
    const std::wstring base = machineFolder() + L"/" + modelsLogsFolderName + L"/" + fileTitleOf(modelName) + L"_" +
                              formatDayMonYear(local) + L"_" + twoDigits(local.tm_hour) + twoDigits(local.tm_min);
    const std::wstring path = getFreeFileName(base, L"log", 100);
    if (fileExists(path) || !appendLine(path, firstLine))
        return std::wstring();
    return path;
}

bool simMachineLogs_t::appendModel(const std::wstring& path, const std::wstring& text)
{
    if (!enabled_ || path.empty())
        return false;
    return appendLine(path, text);
}

bool simMachineLogs_t::writeEmbeddedVersion(std::uint16_t version)
{
    if (!enabled_ || !ensureFolders())
        return false;
    const std::wstring path = embeddedVersionPath();
    {
        basic_longname_ifstream<char> in(path);
        unsigned stored = 0;
        if (in.is_open() && (in >> stored) && stored == version)
            return true;
    }
    return replaceTextFile(path, wstrToStr(toStr(version)) + "\n");
}
