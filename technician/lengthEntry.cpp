#include "technician/lengthEntry.h"

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

std::optional<std::int32_t> millimetresToNano(const std::wstring& text)
{
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    double mm = 0.0;
    stream >> mm;
    if (stream.fail()) {
        // A number too large for a double is stored as the largest one and
        // flagged like text that does not read; only the latter counts as 0.
        if (std::fabs(mm) != std::numeric_limits<double>::max())
            return 0;
        return std::nullopt;
    }
    const double nano = std::trunc(mm * 1000000.0);
    if (!(nano >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          nano <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        return std::nullopt;
    return static_cast<std::int32_t>(nano);
}

std::int32_t layerLengthMm(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    if (i == text.size())
        return 0;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return 0;
        value = value * 10 + (text[i] - L'0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return 0;
    }
    if (negative || value > maxLayerLengthMm)
        return 0;
    return static_cast<std::int32_t>(value);
}
