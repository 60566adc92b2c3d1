#include "standins/notepad/notepadArgs.h"

#include "machine/programUtils.h"

namespace {

bool isBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

std::wstring withoutLeadingBlanks(const std::wstring& text)
{
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    return text.substr(first);
}

}  // namespace

notepadArgs_t parseNotepadCommandLine(const std::wstring& commandLine)
{
    notepadArgs_t result;
    std::wstring rest = withoutLeadingBlanks(splitCommandLine(commandLine, nullptr));
    if (rest.size() >= 2 && rest[0] == L'/' && (rest[1] == L'p' || rest[1] == L'P') &&
        (rest.size() == 2 || isBlank(rest[2]))) {
        result.print = true;
        rest = withoutLeadingBlanks(rest.substr(2));
    }
    while (!rest.empty() && isBlank(rest.back()))
        rest.pop_back();
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"')
        rest = rest.substr(1, rest.size() - 2);
    result.path = rest;
    return result;
}
