#include "installer/CFennicotDlg.h"

#include "installer/installDecision.h"
#include "installer/installWorker.h"
#include "installer/installerResources.h"
#include "machine/messageBox.h"
#include "platform/messageBoxHook.h"
#include "platform/qt/dlgItem.h"
#include "ui_fennicotDlg.h"

#include <QCloseEvent>

CFennicotDlg::CFennicotDlg(QWidget* parent)
    : qtWindow_t<QDialog>(parent), ui_(std::make_unique<Ui::fennicotDlgTemplate>()), icon_(installerIcon()) {
    ui_->setupUi(this);
    setFixedSize(size());
}

CFennicotDlg::~CFennicotDlg() {
    // Out of the window table first: the worker's posts are dropped from now
    // on; then wait for a worker that still runs.
    destroyWindow();
    worker_.reset();
}

int CFennicotDlg::DoModal() {
    OnInitDialog();
    if (!ended_)
        exec();
    destroyWindow();
    return result();
}

void CFennicotDlg::EndDialog(int result) {
    if (ended_)
        return;
    ended_ = true;
    done(result);
}

void CFennicotDlg::DoDataExchange(bool saveAndValidate) {
    QWidget* control = dlgItem(this, statusControlId);
    if (control == nullptr)
        return;
    if (saveAndValidate)
        statusLine_ = windowText(control);
    else
        setWindowText(control, statusLine_);
}

bool CFennicotDlg::OnInitDialog() {
    DoDataExchange(false);
    setWindowIcon(icon_);

    const installDecision_t decision = decideInstallation();
    choice_ = decision.choice;
    if (decision.outcome == installOutcome_e::missingSlicer_e) {
        messageBox(decision.text, MB_ICONHAND);
        EndDialog(IDCANCEL);
        return true;
    }

    const std::wstring title = installerTitle();
    setWindowText(this, title);
    if (decision.outcome == installOutcome_e::nothingToInstall_e) {
        showMessageBox(hwnd(), decision.text, title, MB_ICONHAND);
        EndDialog(IDCANCEL);
        return true;
    }
    if (showMessageBox(hwnd(), decision.text, title, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        EndDialog(IDCANCEL);
        return true;
    }

    // The window becomes the application's main window only now: the
    // library's message box brings the main window to the front, which
    // would show this window behind a box that ends the program.
    setMainWindow(hwnd());
    worker_ = std::make_unique<installWorker_t>(choice_);
    worker_->start(hwnd());
    return true;
}

void CFennicotDlg::onWindowMessage(unsigned message, WPARAM, LPARAM) {
    if (message == WM_APP)
        onProgress();
}

void CFennicotDlg::onProgress() {
    // A post still queued after the end finds nothing more to do.
    if (worker_ == nullptr || finished_)
        return;
    statusLine_ = worker_->statusText();
    DoDataExchange(false);
    if (!worker_->isDone())
        return;
    finished_ = true;
    worker_->finish();
    EndDialog(IDCANCEL);
}

void CFennicotDlg::closeEvent(QCloseEvent* event) {
    if (ended_) {
        QDialog::closeEvent(event);
        return;
    }
    // The close button is Cancel, which does nothing.
    event->ignore();
    OnCancel();
}
