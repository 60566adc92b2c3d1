// NOTEPAD.EXE's command line: "program [/p] path". The path is the whole
// rest of the line as the starting program wrote it, runs of blanks
// included: programs hand it over unquoted, so it cannot be put together
// again from the arguments the line splits into.
#pragma once
#include <string>

struct notepadArgs_t {
    bool print = false;  // "/p" (any case) first: print the file and exit
    std::wstring path;   // a system path; may be empty
};

// Blanks between the program, the switch and the path are skipped; blanks
// at the end of the line are dropped (a file name does not end in one), and
// so are double quotes around the whole path.
notepadArgs_t parseNotepadCommandLine(const std::wstring& commandLine);
