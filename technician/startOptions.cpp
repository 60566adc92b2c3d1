#include "technician/startOptions.h"

#include "machine/fileUtils.h"
#include "machine/programUtils.h"
#include "machine/textUtils.h"

#include <climits>
#include <cstdint>

namespace {

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

}  // namespace

int readDecimalToken(const std::wstring& token)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == L'+' || token[i] == L'-')) {
        negative = token[i] == L'-';
        ++i;
    }
    std::int64_t value = 0;
    bool any = false;
    for (; i < token.size() && token[i] >= L'0' && token[i] <= L'9'; ++i) {
        any = true;
        // Saturates like the stream reader's overflow: far beyond any machine number.
        if (value < static_cast<std::int64_t>(INT_MAX) + 1)
            value = value * 10 + (token[i] - L'0');
    }
    if (!any)
        return 0;
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return 0;
    return static_cast<int>(value);
}

startOptions_t readStartOptions(const std::wstring& commandLine)
{
    startOptions_t options;
    const std::wstring arguments = toUpper(splitCommandLine(commandLine, &options.programPath));
    std::size_t i = 0;
    while (i < arguments.size()) {
        while (i < arguments.size() && isBlank(arguments[i]))
            ++i;
        const std::size_t start = i;
        while (i < arguments.size() && !isBlank(arguments[i]))
            ++i;
        if (start == i)
            break;
        const std::wstring token = arguments.substr(start, i - start);
        if (token.size() >= 2 && (token[0] == L'/' || token[0] == L'-')) {
            if (token[1] == L'I')
                options.iFlag = true;
            continue;
        }
        if (const int number = readDecimalToken(token); number != 0)
            options.machineNumber = number;
    }
    const std::wstring title = toUpper(getFileTitle(options.programPath));
    options.edition = title.find(L"MEROLT") != std::wstring::npos ? L"Merolt" : L"Tovrik";
    return options;
}
