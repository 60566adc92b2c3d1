// The installer's application object: it runs the installer's dialog
// modally, and the program ends when the dialog has ended.
#pragma once

class CFennicotDlg;

class CFennicotApp {
public:
    // Names the application after the program's file title and runs the
    // dialog. False: there is nothing to run after the dialog.
    bool InitInstance();
    int ExitInstance();

    // The dialog while it runs, else null.
    CFennicotDlg* mainDialog() const { return mainDialog_; }

private:
    CFennicotDlg* mainDialog_ = nullptr;
};
