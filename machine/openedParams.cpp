#include "machine/openedParams.h"
#include "machine/machineParam.h"
#include "machine/textUtils.h"
#include "machine/wstr.h"
#include <cctype>
#include <cstdint>

namespace {

constexpr int openedBits = paramLayout::openedBitmapWords * 32;

bool bitmapFits(std::span<const std::int32_t> image)
{
    return image.size() >= static_cast<std::size_t>(paramLayout::openedBitmapWord + paramLayout::openedBitmapWords);
}

// The leading number of a line (optional blanks and sign, then digits);
// false when the line does not begin with one or it does not fit an int.
bool leadingNumber(const std::string& line, int& value, std::size_t& end)
{
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+'))
        negative = line[i++] == '-';
    const std::size_t digits = i;
    long long number = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) != 0) {
        number = number * 10 + (line[i] - '0');
        if (number > INT32_MAX)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    value = static_cast<int>(negative ? -number : number);
    end = i;
    return true;
}

}  // namespace

std::string openedParamsText(std::span<const std::int32_t> image)
{
    std::string text;
    if (bitmapFits(image)) {
        for (int index = 0; index < openedBits; ++index) {
            const auto word = static_cast<std::uint32_t>(image[paramLayout::openedBitmapWord + index / 32]);
            const machineParam_t* param = parameterAt(index);
            if ((word & (1u << (index % 32))) == 0 || param == nullptr)
                continue;
            text += wstrToStr(wstr_t() << index << L" " << param->name()) + "\n";
        }
    }
    text += "\n";
    return text;
}

void readOpenedParams(std::istream& in, std::span<std::int32_t> image)
{
    if (!bitmapFits(image))
        return;
    for (int w = 0; w < paramLayout::openedBitmapWords; ++w)
        image[paramLayout::openedBitmapWord + w] = 0;
    std::string line;
    while (std::getline(in, line)) {
        int number = 0;
        std::size_t end = 0;
        if (!leadingNumber(line, number, end))
            break;
        while (end < line.size() && (line[end] == ' ' || line[end] == '\t'))
            ++end;
        const machineParam_t* param = findParameter(number, strToWstr(line.substr(end)));
        if (param == nullptr || param->index() < 0 || param->index() >= openedBits)
            continue;
        const int index = param->index();
        auto& word = image[paramLayout::openedBitmapWord + index / 32];
        word = static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | (1u << (index % 32)));
    }
}
