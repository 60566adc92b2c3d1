#include "standins/notepad/notepadArgs.h"

notepadArgs_t parseNotepadArgs(const std::vector<std::wstring>& args)
{
    notepadArgs_t result;
    std::size_t first = 0;
    if (!args.empty() && (args[0] == L"/p" || args[0] == L"/P")) {
        result.print = true;
        first = 1;
    }
    for (std::size_t i = first; i < args.size(); ++i) {
        if (i > first)
            result.path += L' ';
        result.path += args[i];
    }
    return result;
}
