// The modal window in which a coded procedure runs: the stages with their
// results, Start/Re-start, Cancel/Close. The procedure runs on a worker
// thread and reports each stage change by posting WM_USER+8 here.
//
// Closing while the worker runs: the procedure is told to stop (abort event,
// and a script's stop flag), the window waits for the worker while it keeps
// serving events, and only then deletes the procedure, which the worker
// still uses until it ends.
//
// Closed on the user's behalf (the program ends on a signal), the window is
// cancelled as its Cancel button cancels it, and closes as its Close button
// closes it once the worker has ended: the procedure's clean-up reaches
// the machine first.
#pragma once
#include "machine/event.h"
#include "machine/threadHandle.h"
#include "platform/qt/cancelInSteps.h"
#include "platform/qt/qtWindow.h"
#include "procedures/batches/baseStaticBatch.h"

#include <QDialog>
#include <memory>

class QPushButton;
class QTreeWidget;

class staticBatchDlg_t : public qtWindow_t<QDialog>, public cancelInSteps_t {
    Q_OBJECT
public:
    static constexpr int startId = 1;
    static constexpr int cancelId = 2;
    static constexpr int listId = 1199;
    // Start's longest wait for the machine to enter state 5.
    static constexpr int startWaitMs = 30000;

    // Takes ownership of the procedure and asks the machine into state 5.
    staticBatchDlg_t(baseStaticBatch_t* procedure, QWidget* parent = nullptr);
    ~staticBatchDlg_t() override;

    baseStaticBatch_t& procedure() { return *procedure_; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QTreeWidget* list() const { return list_; }
    // A worker was started and has not ended yet.
    bool workerRunning();

    // The Start button.
    void start();
    // Cancel, Escape and closing the window.
    void reject() override;
    void done(int result) override;
    // Cancel while the worker runs, nothing while it stops, Close once it
    // has ended.
    void cancelStep() override;

protected:
    void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    // Gives the stage list's columns their shares whenever its width changes.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static unsigned workerProc(void* argument);
    void resetButtons();
    // The columns take 1/9, 3/9 and 5/9 of the list's visible width.
    void applyColumnShares();
    // The narrowest list in which every stage name and result reads whole.
    int listWidthForTexts() const;
    // Tells the procedure to stop and waits, serving events, for the worker.
    void stopWorker();

    std::unique_ptr<baseStaticBatch_t> procedure_;
    threadHandle_t worker_;
    event_t workerEnded_{true, true};
    bool stopping_ = false;
    bool starting_ = false;
    // Counted by done: a Start still waiting for state 5 gives up.
    int closeCount_ = 0;
    QPushButton* startButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTreeWidget* list_ = nullptr;
};
