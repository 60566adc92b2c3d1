#include "platform/printerSetting.h"

#include "platform/codePage.h"
#include "platform/paths.h"
#include "platform/posixFile.h"
#include "platform/prefix.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::wstring twoDigits(int value)
{
    return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10 % 10)) +
           static_cast<wchar_t>(L'0' + value % 10);
}

bool fitsInFileName(wchar_t ch)
{
    return ch >= 0x20 && std::wstring(L"\\/:*?\"<>|").find(ch) == std::wstring::npos;
}

}  // namespace

printerSetting_t printerSetting()
{
    printerSetting_t setting;
    setting.printerName = configValue(L"printer", L"name", L"");
    setting.pdfFolder = configValue(L"printer", L"pdffolder", L"");
    if (setting.pdfFolder.empty())
        setting.pdfFolder = defaultPdfFolder;
    return setting;
}

std::wstring pdfFileName(const std::wstring& documentName, std::time_t when, int copy)
{
    std::wstring name;
    for (const wchar_t ch : documentName)
        name += fitsInFileName(ch) ? ch : L'_';
    if (name.empty())
        name = L"Document";
    std::tm local{};
    if (::localtime_r(&when, &local) != nullptr) {
        const int year = local.tm_year + 1900;
        name += L" " + twoDigits(year / 100) + twoDigits(year % 100) + L"-" + twoDigits(local.tm_mon + 1) + L"-" +
                twoDigits(local.tm_mday) + L" " + twoDigits(local.tm_hour) + twoDigits(local.tm_min) +
                twoDigits(local.tm_sec);
    }
    if (copy > 1)
        name += L" (" + std::to_wstring(copy) + L")";
    return name + L".pdf";
}

namespace {

std::optional<std::string> pdfFileIn(const std::wstring& folder, const std::wstring& documentName, std::time_t when,
                                     bool reserve)
{
    const std::optional<std::string> linuxFolder = resolvePath(folder);
    if (!linuxFolder || !makeFolders(*linuxFolder))
        return std::nullopt;
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string path = *linuxFolder + "/" + wideToUtf8(pdfFileName(documentName, when, copy));
        if (!reserve) {
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0)
                continue;
            if (errno != ENOENT)
                return std::nullopt;
            return path;
        }
        // O_EXCL: the name is ours alone, whoever else prints at this second.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> reservePdfFile(const std::wstring& folder, const std::wstring& documentName,
                                          std::time_t when)
{
    return pdfFileIn(folder, documentName, when, true);
}

std::optional<std::string> freePdfFile(const std::wstring& folder, const std::wstring& documentName,
                                       std::time_t when)
{
    return pdfFileIn(folder, documentName, when, false);
}
