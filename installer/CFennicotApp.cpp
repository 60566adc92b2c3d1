#include "installer/CFennicotApp.h"

#include "installer/CFennicotDlg.h"
#include "machine/fileUtils.h"
#include "machine/programUtils.h"
#include "platform/messageBoxHook.h"
#include "platform/process.h"

bool CFennicotApp::InitInstance() {
    // There is no component library to initialise and no control container
    // or three-dimensional controls to enable here.
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    setApplicationName(getFileTitle(program));

    CFennicotDlg dialog;
    mainDialog_ = &dialog;
    dialog.DoModal();
    mainDialog_ = nullptr;
    setMainWindow(0);
    return false;
}

int CFennicotApp::ExitInstance() {
    return 0;
}
