// The one way any thread shows a message box. The programs install a hook
// that shows a real box on the user-interface thread and blocks the caller;
// tests install a scripted hook. Without a hook, the box is written to
// standard error and answered IDOK for a notice, IDCANCEL where the box has
// a Cancel button, IDNO for a Yes/No question.
#pragma once
#include "platform/winConstants.h"
#include <functional>
#include <string>

using messageBoxHook_t =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style)>;

void setMessageBoxHook(messageBoxHook_t hook);  // empty restores the default
int showMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style);
// The answer of the default (no hook) for a style.
int defaultMessageBoxAnswer(unsigned style);

// Set once at start-up: the application's name (the program's file title)
// and its main window.
void setApplicationName(const std::wstring& name);
std::wstring applicationName();
void setMainWindow(HWND window);
HWND mainWindow();
