// The units of parameter values and their text forms. A value is an int in
// the unit that its descriptor's third field names; lengths are nanometres
// (1 mm = 1000000), times milliseconds (shown in seconds), glue volumes
// nanometres of pump travel (1 mm of travel is 126 mm^3).
//
// Conversions never fail: an unknown unit is shown and read as a plain
// integer and a text that is no number reads as 0. Where a value must end in
// an int, the checked forms refuse results that do not fit 32 bits instead
// of wrapping them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

inline constexpr wchar_t unitNumber[] = L"number";
inline constexpr wchar_t unitHex[] = L"hex";
inline constexpr wchar_t unitMm3[] = L"mm^3";
inline constexpr wchar_t unitNano[] = L"nano";
inline constexpr wchar_t unitNanoX[] = L"nano,x";
inline constexpr wchar_t unitNanoY[] = L"nano,y";
inline constexpr wchar_t unitNanoZ[] = L"nano,z";
inline constexpr wchar_t unitNanoPump[] = L"nano,pump";
inline constexpr wchar_t unitNanoIron[] = L"nano,iron";
inline constexpr wchar_t unitNanoFeeder[] = L"nano,feeder";
inline constexpr wchar_t unitSpeed[] = L"speed";
inline constexpr wchar_t unitMs[] = L"ms";
inline constexpr wchar_t unitPercent[] = L"percent";
inline constexpr wchar_t unitMl[] = L"ml";
inline constexpr wchar_t unitMm[] = L"mm";
inline constexpr wchar_t unitDegree[] = L"degree";

inline constexpr wchar_t labelSpeed[] = L"can be 3-24, or -(X*0.2\u00B5s) for const speed";
inline constexpr wchar_t labelMs[] = L"ms";
inline constexpr wchar_t labelPercent[] = L"%";
inline constexpr wchar_t labelMl[] = L"ml";
inline constexpr wchar_t labelMm[] = L"mm";
inline constexpr wchar_t labelDegree[] = L"\u00B0";

// The value 0xff000001 handed to a formatter stands for the device's
// current value of the parameter.
inline constexpr std::int32_t currentValueMark = static_cast<std::int32_t>(0xff000001u);

// Axes: 0 X, 1 Y, 2 Z, 3 Pump, 4 Feeder ("nano,iron" moves on Y); -1 none
// ("nano" without an axis included).
int axisOfUnit(const std::wstring& unit);
// "X", "Y", "Z", "Pump", "Feeder"; any other axis "Unknown motor".
std::wstring motorName(int axis);
// The label of a unit ("ms", "%", the motor name of an axis unit, "Iron"
// for "nano,iron"); empty
// when the unit has none.
std::wstring unitLabelOf(const std::wstring& unit);

// The text shown for a value of a unit ("0xaa80", "4.42mm", "0.6 sec",
// "126 mm^3", "5 %", "35°C", "3000mm", "-4095").
std::wstring formatUnitValue(const std::wstring& unit, std::int32_t value);
// The leading number of a text (blanks skipped, the rest ignored). A text
// with a lower-case 'x' anywhere is read as an integer whose base comes from
// its prefix ("0x" hexadecimal, "0" octal, else decimal); any other text as a
// floating-point number. 0 when the text does not begin with a number.
double parseNumber(const std::wstring& text);
// value / 1000000 in the general number form ("0.021892", "6.2e-005").
std::wstring nanoToMmText(double nanometres);
// mm3 / 126 * 1000000 truncated toward zero (saturated at the int range);
// the checked form refuses what does not fit.
std::int32_t mm3ToValue(double mm3);
std::optional<std::int32_t> mm3ToValueChecked(double mm3);
double valueToMm3(std::int32_t value);

// A double truncated toward zero, or nothing when it is not a number or does
// not fit in a signed 32-bit int.
std::optional<std::int32_t> truncateToInt32(double value);

// Motor steps of an axis with step size s (nanometres per step): a length
// rounds half away from zero to steps (0 when s / 2 is not above 0); steps
// times s is the length. 64-bit, so nothing wraps.
std::int64_t nanoToStepsWith(std::int32_t stepSize, std::int64_t nanometres);
std::int64_t stepsToNanoWith(std::int32_t stepSize, std::int64_t steps);
