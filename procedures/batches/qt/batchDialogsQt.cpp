#include "procedures/batches/qt/batchDialogsQt.h"

#include "platform/qt/qtWindowSink.h"
#include "procedures/batches/batchDialogs.h"
#include "procedures/batches/qt/delayDlg.h"
#include "procedures/batches/qt/trimChooseNumberDlg.h"

void installBatchDialogsQt()
{
    batchDialogs_t dialogs;
    dialogs.chooseTrimNumber = [](HWND owner, int maximum, int initial, int& chosen) {
        trimChooseNumberDlg_t dialog(maximum, initial, widgetForWindow(owner));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        chosen = dialog.chosenNumber();
        return true;
    };
    dialogs.waitForResume = [](HWND owner, qvrClientDev_t* device) {
        delayDlg_t dialog(device, widgetForWindow(owner));
        dialog.exec();
    };
    setBatchDialogs(dialogs);
}
