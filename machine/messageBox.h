// The library's one way to talk to the user: a message box owned by the
// application's main window, captioned with the application's name.
#pragma once
#include <string>

// An empty text shows the description of the last system error. While
// another box of this function is open, a box whose style lacks the bit 4
// (set in MB_YESNO and MB_RETRYCANCEL) is not shown and gives 0; questions
// are always shown. Otherwise the pressed button's id.
int messageBox(const std::wstring& text, unsigned style);
// The number of boxes of this function open at the moment.
int openMessageBoxes();
