// The thread-local system error code of the platform layer and its texts.
// Every platform function that fails sets it at the moment of failure.
#pragma once
#include "platform/winConstants.h"
#include <string>

DWORD getLastError();
void setLastError(DWORD code);
// Maps an errno value to the nearest system error code and stores it.
void setLastErrorFromErrno(int err);
DWORD errnoToSystemError(int err);
// The English description of a system error code, ending in CR LF
// ("The system cannot find the file specified.\r\n").
std::wstring systemErrorText(DWORD code);
