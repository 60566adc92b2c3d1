// The installer's one window (dialog 102): a status line (control 1000) and
// the program's icon. Its initialisation decides what to install and asks
// the user; on Yes it starts the installation worker and then follows it,
// one status line at a time (posted WM_APP), until the worker has ended,
// when it finishes the installation and ends. Enter, Escape and the close
// button do nothing: an installation is never interrupted halfway.
#pragma once
#include "installer/installChoice.h"
#include "platform/qt/qtWindow.h"

#include <QDialog>
#include <QIcon>
#include <memory>
#include <string>

namespace Ui {
class fennicotDlgTemplate;
}
class installWorker_t;
class QCloseEvent;

class CFennicotDlg : public qtWindow_t<QDialog> {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    static constexpr int statusControlId = 1000;

    explicit CFennicotDlg(QWidget* parent = nullptr);
    ~CFennicotDlg() override;

    // The decision, then, when an installation starts, the window until it
    // has ended. The dialog's result (IDCANCEL in every case).
    int DoModal();
    void EndDialog(int result);
    bool isEnded() const { return ended_; }

    // The decision, once OnInitDialog has made it.
    const installChoice_t& choice() const { return choice_; }
    // Whether the user's Yes started an installation.
    bool installationStarted() const { return worker_ != nullptr; }

protected:
    // The status control's text: from the control (save) or to it.
    void DoDataExchange(bool saveAndValidate);
    bool OnInitDialog();
    void OnOK() {}
    void OnCancel() {}
    // WM_APP from the worker: the new status line, and the end.
    virtual void onProgress();

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }
    void closeEvent(QCloseEvent* event) override;
    void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    std::unique_ptr<Ui::fennicotDlgTemplate> ui_;
    QIcon icon_;
    std::wstring statusLine_ = L"Backuping old parameters files...";
    installChoice_t choice_;
    std::unique_ptr<installWorker_t> worker_;
    bool ended_ = false;
    bool finished_ = false;
};
