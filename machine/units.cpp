#include "machine/units.h"

#include "machine/wstr.h"

#include <cmath>
#include <cstddef>

namespace {

bool isBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\n' || ch == L'\v' || ch == L'\f' || ch == L'\r';
}

int digitValue(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return 99;
}

// The run-time library's integer reading with base 0: sign, then "0x"
// (hexadecimal), "0" (octal) or decimal digits. Large values saturate far
// beyond the int range, so that callers can tell them apart.
double parseIntegerWithPrefix(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == L'0') {
        if (i + 2 < text.size() && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
            digitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }
    constexpr std::uint64_t cap = 1ull << 60;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit >= base)
            break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > cap)
            value = cap;
    }
    const double result = static_cast<double>(value);
    return negative ? -result : result;
}

std::wstring lowerHex(std::uint32_t value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

} // namespace

int axisOfUnit(const std::wstring& unit) {
    if (unit == unitNanoX)
        return 0;
    if (unit == unitNanoY || unit == unitNanoIron)
        return 1;
    if (unit == unitNanoZ)
        return 2;
    if (unit == unitNanoPump)
        return 3;
    if (unit == unitNanoFeeder)
        return 4;
    return -1;
}

std::wstring motorName(int axis) {
    switch (axis) {
    case 0:
        return L"X";
    case 1:
        return L"Y";
    case 2:
        return L"Z";
    case 3:
        return L"Pump";
    case 4:
        return L"Feeder";
    default:
        return L"Unknown motor";
    }
}

std::wstring unitLabelOf(const std::wstring& unit) {
    if (unit == unitSpeed)
        return labelSpeed;
    if (unit == unitMs)
        return labelMs;
    if (unit == unitMm3)
        return unitMm3;
    if (unit == unitPercent)
        return labelPercent;
    if (unit == unitMl)
        return labelMl;
    if (unit == unitMm)
        return labelMm;
    if (unit == unitDegree)
        return labelDegree;
    // The iron moves on the Y axis but keeps its own name.
    if (unit == unitNanoIron)
        return L"Iron";
    const int axis = axisOfUnit(unit);
    if (axis >= 0)
        return motorName(axis);
    return L"";
}

std::wstring formatUnitValue(const std::wstring& unit, std::int32_t value) {
    if (unit == unitHex)
        return L"0x" + lowerHex(static_cast<std::uint32_t>(value));
    if (unit == unitNano)
        return nanoToMmText(value) + L"mm";
    if (unit == unitMm3)
        return toStr(valueToMm3(value)) + L" mm^3";
    if (unit == unitMs)
        return toStr(value / 1000.0) + L" sec";
    if (unit == unitPercent)
        return toStr(value) + L" %";
    if (unit == unitDegree)
        return toStr(value) + L"\u00B0C";
    if (unit == unitMm)
        return toStr(value) + L"mm";
    if (axisOfUnit(unit) >= 0)
        return nanoToMmText(value) + L"mm";
    return toStr(value);
}

double parseNumber(const std::wstring& text) {
    if (text.find(L'x') != std::wstring::npos)
        return parseIntegerWithPrefix(text);
    return parseDouble(text);
}

std::wstring nanoToMmText(double nanometres) {
    return toStr(nanometres / 1000000.0);
}

std::optional<std::int32_t> truncateToInt32(double value) {
    if (std::isnan(value))
        return std::nullopt;
    const double truncated = std::trunc(value);
    if (truncated < -2147483648.0 || truncated > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(truncated);
}

std::optional<std::int32_t> mm3ToValueChecked(double mm3) {
    return truncateToInt32(mm3 / 126.0 * 1000000.0);
}

std::int32_t mm3ToValue(double mm3) {
    const double value = mm3 / 126.0 * 1000000.0;
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(value);
}

double valueToMm3(std::int32_t value) {
    return value / 1000000.0 * 126.0;
}

std::int64_t nanoToStepsWith(std::int32_t stepSize, std::int64_t nanometres) {
    const std::int64_t half = stepSize / 2;
    if (half <= 0)
        return 0;
    return nanometres > 0 ? (nanometres + half) / stepSize : (nanometres - half) / stepSize;
}

std::int64_t stepsToNanoWith(std::int32_t stepSize, std::int64_t steps) {
    return steps * stepSize;
}
