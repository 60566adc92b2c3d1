// Who and where the program runs, and the text of the last system error.
#pragma once
#include <string>

// Upper case, at most 15 characters; empty when the name cannot be had.
std::wstring getComputerName();
std::wstring getUserName();
// The English description of the calling thread's last system error; it ends
// with a line break (CR LF).
std::wstring lastErrorText();
