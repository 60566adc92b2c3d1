#include "procedures/script/batchNumbers.h"

#include <charconv>

namespace {

// Decimal digits straight into the narrow text: a number printed for every
// token of a trace or a report costs no wide text and no conversion.
template <class I>
std::string decimalText(I value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string batchSignedText(std::int32_t value)
{
    return decimalText(value);
}

std::string batchUnsignedText(std::uint32_t value)
{
    return decimalText(value);
}
