// NOTEPAD.EXE's command line: "[/p] path". The path is taken whole from
// the rest of the line, blanks included: programs hand it over unquoted,
// so the arguments after the switch are joined with single blanks.
#pragma once
#include <string>
#include <vector>

struct notepadArgs_t {
    bool print = false;  // "/p" (any case) first: print the file and exit
    std::wstring path;   // a system path; may be empty
};

notepadArgs_t parseNotepadArgs(const std::vector<std::wstring>& args);
