#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "machine/wstr.h"
#include "platform/winConstants.h"
#include <cmath>
#include <limits>

std::wstring getBaseFolder()
{
    return regReadString(qvrCommRegistryKey, baseDirectoryValueName, defaultBaseFolder, HKEY_CURRENT_USER);
}

std::wstring getSharedFolder() { return getBaseFolder() + L"/" + sharedFolderName; }

std::wstring getSearchedServersListPath() { return getBaseFolder() + L"/" + searchedServersListFileName; }

std::wstring getDriverLogPath() { return getBaseFolder() + L"/" + driverLogFileName; }

std::wstring getSlicerFolder()
{
    return regReadString(slicerRegistryKey, slicerDirectoryValueName, defaultSlicerFolder, HKEY_LOCAL_MACHINE);
}

std::wstring getSlicerAppPath()
{
    return regReadString(slicerRegistryKey, slicerAppValueName, getSlicerFolder() + L"\\" + defaultSlicerAppFile,
                         HKEY_LOCAL_MACHINE);
}

std::wstring getStatusAppPath()
{
    return regReadString(slicerRegistryKey, statusAppValueName, getSlicerFolder() + L"\\" + defaultStatusAppFile,
                         HKEY_LOCAL_MACHINE);
}

std::wstring versionToText(double version)
{
    // A version from outside (the server's greeting) may be anything; keep
    // the arithmetic inside int.
    const double scaled = (version - 10.0) * 1000.0 + 0.5;
    std::int32_t n = 0;
    if (std::isnan(scaled))
        n = 0;
    else if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        n = std::numeric_limits<std::int32_t>::max();
    else if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        n = std::numeric_limits<std::int32_t>::min();
    else
        n = static_cast<std::int32_t>(scaled);
    wstr_t text;
    text << (n / 1000) << L"." << ((n / 10) % 100);
    if (n % 10 > 0)
        text << L" Update " << (n % 10);
    return text;
}

namespace {
char messageTexts[messageTextEntries * messageTextEntrySize] = {};
}  // namespace

char* messageTextBuffer() { return messageTexts; }

const char* bindPage(std::int32_t pageIndex)
{
    // Page 1 would start at byte 12800 of a 5400-byte buffer.
    return pageIndex == 0 ? messageTexts : nullptr;
}
