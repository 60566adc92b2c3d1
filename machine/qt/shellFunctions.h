// The library's window and shell helpers on Qt.
#pragma once
#include "platform/winConstants.h"
#include <string>

// Shows the window and raises it above the others (window managers may
// refuse to give it the focus; harmless). Nothing for an unknown handle.
void bringToFront(HWND window);
// A folder chosen by the user (through the file-dialog hook), as a system
// text; empty when cancelled. The owner's widget is the dialog's parent
// when it is a registered window.
std::wstring browseForFolder(HWND owner, const std::wstring& title);
