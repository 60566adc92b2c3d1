#include "technician/pages/versionTexts.h"

#include "machine/globalNames.h"
#include "machine/wstr.h"

#include <iomanip>
#include <locale>
#include <sstream>

namespace {

std::wstring dottedVersion(wchar_t letter, std::uint16_t version)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out << letter << std::fixed << std::setprecision(2) << (version / 10) * 0.01 << L'.' << version % 10;
    return out.str();
}

}  // namespace

std::wstring firmwareVersionText(std::uint16_t version)
{
    return dottedVersion(L'E', version);
}

std::wstring hardwareRevisionText(std::uint16_t revision)
{
    return dottedVersion(L'H', revision);
}

std::wstring driverVersionText(double serverVersion)
{
    return L"USB " + versionToText(serverVersion);
}

std::wstring buildTimeText(std::uint32_t runningMinutes)
{
    return wstr_t() << runningMinutes / 60 << L" hours";
}
