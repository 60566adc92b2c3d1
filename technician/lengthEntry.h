// Lengths as a technician types them on the Motors and Processes pages,
// turned into the nanometres the machine commands carry. The machine takes
// 32-bit lengths: a typed value whose nanometres do not fit is refused here
// rather than sent wrapped (2500 mm would otherwise reach the printer as a
// move of about -2147 mm).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// A millimetre edit read as a decimal number (leading blanks skipped, what
// follows the number ignored; text that does not read as a number is 0),
// times 1,000,000 truncated toward zero. Nothing when the result does not
// fit in a signed 32-bit value.
std::optional<std::int32_t> millimetresToNano(const std::wstring& text);

// The longest layer length the machine can be sent, in whole millimetres
// (its nanometres still fit in 32 bits).
inline constexpr std::int32_t maxLayerLengthMm = 2147;

// The layer-length edit read as a signed whole number of millimetres: 0
// when it does not read as one (empty, other characters, too many digits)
// and when it lies above maxLayerLengthMm; the callers act only on a
// positive result.
std::int32_t layerLengthMm(const std::wstring& text);
