// The print dialog goes through one replaceable function, so that tests can
// answer it as they answer file dialogs. User-interface thread only.
#pragma once
#include <functional>

class QPrinter;
class QWidget;

// True when the user pressed OK; the dialog may have changed the printer.
using printDialogHook_t = std::function<bool(QPrinter& printer, QWidget* parent)>;

void setPrintDialogHook(printDialogHook_t hook);  // empty restores the Qt dialog
// The dialog offers neither a selection nor page numbers: every document
// of the system is one page or the whole of a file.
bool runPrintDialog(QPrinter& printer, QWidget* parent);
