// "NOTEPAD.EXE /p": the file printed as it is, page after page, on the
// printer of platform.conf, without a dialog.
#pragma once
#include <string>

// A file that does not open prints nothing; so does a printer that cannot
// be reached. True when a document went out.
bool printTextFile(const std::wstring& path);
