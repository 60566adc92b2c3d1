#include "technician/pages/testRules.h"

#include <limits>
#include <sstream>

std::optional<std::wstring> testRules_t::buildingRefusal(int testId, std::uint32_t statusFlags)
{
    if (testId == cuttingKnifeTest || testId == pensTakingTest || (statusFlags & buildingFlag) == 0)
        return std::nullopt;
    if ((statusFlags & modelOnTableFlag) != 0)
        return std::wstring(L"Please remove previous model first.");
    return std::wstring(L"The machine is already building a model.");
}

std::optional<std::int32_t> testRules_t::readInteger(const std::wstring& text)
{
    std::wistringstream in(text);
    in.imbue(std::locale::classic());
    long long value = 0;
    if (!(in >> value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t testRules_t::repeatCount(const std::wstring& text)
{
    const std::optional<std::int32_t> count = readInteger(text);
    return count && *count >= 1 ? *count : defaultRepeats;
}

std::optional<std::wstring> testRules_t::blockRefusal(const std::wstring& layers,
                                                      const std::wstring& lengthMm)
{
    // A text that is no number counts as 0, as the edits read it.
    const std::int32_t layerCount = readInteger(layers).value_or(0);
    if (layerCount < 1 || layerCount > maxBlockLayers)
        return std::wstring(L"Invalid number of layers specified.");
    const std::int32_t length = readInteger(lengthMm).value_or(0);
    if (length <= 0 || length > maxBlockLengthMm)
        return std::wstring(L"Invalid model length specified.");
    return std::nullopt;
}
