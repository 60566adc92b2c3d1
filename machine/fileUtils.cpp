#include "machine/fileUtils.h"

#include "machine/longnameStream.h"
#include "machine/wstr.h"
#include "platform/files.h"
#include "platform/lastError.h"

#include <ctime>

namespace {

constexpr std::size_t folderChars = MAX_PATH - 1;

std::wstring limited(std::wstring text)
{
    if (text.size() > folderChars)
        return std::wstring();
    return text;
}

}  // namespace

std::wstring getFileName(const std::wstring& path)
{
    std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return path;
    return path.substr(separator + 1);
}

std::wstring getFileTitle(const std::wstring& path)
{
    std::wstring name = getFileName(path);
    std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return name;
    return name.substr(0, dot);
}

std::wstring getFileExtension(const std::wstring& path)
{
    std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos)
        return std::wstring();
    return path.substr(dot + 1);
}

bool fileExists(const std::wstring& path)
{
    return getFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

std::wstring getFreeFileName(const std::wstring& base, const std::wstring& extension, int limit)
{
    std::wstring name = base + L"." + extension;
    if (!fileExists(name))
        return name;
    int number = 2;
    for (; number < limit - 1; ++number) {
        name = wstr_t(base) << L"_" << number << L"." << extension;
        if (!fileExists(name))
            return name;
    }
    return wstr_t(base) << L"_" << (limit - 1) << L"." << extension;
}

std::wstring getSpecialFolder(int csidl)
{
    return limited(specialFolder(csidl));
}

std::wstring getWindowsDir()
{
    return limited(windowsFolder());
}

std::wstring getSystemDir()
{
    return limited(systemFolder());
}

std::int32_t getFileSize(const std::wstring& path)
{
    longname_ifstream in(path);
    if (!in.is_open())
        return 0;
    return streamSize(in);
}

std::int32_t streamRemaining(std::istream& in)
{
    auto here = in.tellg();
    in.seekg(0, std::ios_base::end);
    auto end = in.tellg();
    in.seekg(here);
    return static_cast<std::int32_t>(static_cast<std::streamoff>(end) - static_cast<std::streamoff>(here));
}

std::wstring getTempFileName(const std::wstring& prefix)
{
    return createTempFile(tempFolder(), prefix);
}

bool createFolder(const std::wstring& path, bool* alreadyExisted)
{
    if (alreadyExisted != nullptr)
        *alreadyExisted = false;
    if (createDirectory(path))
        return true;
    if (getLastError() != ERROR_ALREADY_EXISTS)
        return false;
    if (alreadyExisted != nullptr)
        *alreadyExisted = true;
    return true;
}

void deleteOldFiles(const std::wstring& folder, const std::wstring& extension, int days)
{
    const std::time_t now = std::time(nullptr);
    const double age = static_cast<double>(days) * 24 * 3600;
    for (const fileEntry_t& found : findFiles(folder + L"\\*." + extension)) {
        if (found.isFolder)
            continue;
        fileEntry_t info;
        if (!getFileInfo(found.fullPath, info))
            continue;
        if (std::difftime(now, info.creation) > age)
            deleteFile(found.fullPath);
    }
}
