// What the technician program takes from its command line: the /I flag,
// the machine number and the edition that the program's file name decides.
#pragma once
#include <string>

struct startOptions_t {
    bool iFlag = false;
    int machineNumber = 0;  // 0: none given
    std::wstring programPath;
    std::wstring edition = L"Tovrik";  // or "Merolt"
};

// Reads a whole command line (program path first): every token of two or
// more characters that starts with '/' or '-' is a switch, and a switch
// whose second character is 'I' (either case) sets the /I flag; every other
// token is read as a decimal number and a non-zero one becomes the machine
// number (the last wins). A program file title containing "MEROLT" in any
// case is the Merolt edition.
startOptions_t readStartOptions(const std::wstring& commandLine);
// The decimal number at the start of the token, as the run-time library's
// reader takes it (optional sign, digits; 0 when there are none).
int readDecimalToken(const std::wstring& token);
