// The message-box hook of the programs: a QMessageBox on the
// user-interface thread, built from the Windows style flags, answering with
// the Windows button id. Callable from any thread: a worker blocks until the
// user has answered, the user-interface thread shows the box directly.
#pragma once
#include "platform/winConstants.h"
#include <QMessageBox>
#include <string>

// What a style asks for: the buttons, the default one and the icon.
struct messageBoxLayout_t {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QMessageBox::Icon icon;
};

messageBoxLayout_t messageBoxLayout(unsigned style);
// IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO; 0 for others.
int messageBoxButtonId(QMessageBox::StandardButton button);
// Fills a box (text, caption, buttons, default button, icon) without showing it.
void setUpMessageBox(QMessageBox& box, const std::wstring& text, const std::wstring& caption, unsigned style);

// Shows the box and returns the pressed button's id. The owner's widget is
// the parent when the owner is a registered window; otherwise the box has
// no parent. Without a QApplication the platform's default answer is given.
int qtMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style);
// Makes qtMessageBox the platform's message-box hook.
void installQtMessageBoxHook();
