// The base of every coded machine procedure. A procedure owns a short list of
// named stages and runs its body on the progress dialog's worker thread,
// sending one machine command at a time through the client device and
// checking the machine after each. Each stage ends completed, failed or
// aborted; every change is posted to the owner window as WM_USER+8
// (wParam the stage index, lParam the state, -1 when the run is over).
//
// Threads: run and onStopped run on the worker; onStageCompleted, the
// creators and the dialog on the user-interface thread. The stage records and
// the current index are guarded by one lock: the worker writes under it and
// the user-interface thread copies under it (stage(), currentStage()).
#pragma once
#include "machine/event.h"
#include "machine/runLink.h"
#include "platform/winConstants.h"
#include "procedures/batches/batchStage.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class qvrClientDev_t;

class baseStaticBatch_t {
public:
    // Thrown by value out of run, and used as a stage state.
    enum stageStatus_t { completed_e = 0, failed_e = 1, aborted_e = 2, inProgress_e = 3 };
    static constexpr int pendingState = 4;
    static constexpr int overState = -1;  // posted only: the run is over
    static constexpr unsigned stageMessage = WM_USER + 8;

    // The device is the global client device at this moment (not owned).
    baseStaticBatch_t();
    virtual ~baseStaticBatch_t();
    baseStaticBatch_t(const baseStaticBatch_t&) = delete;
    baseStaticBatch_t& operator=(const baseStaticBatch_t&) = delete;

    virtual std::wstring name() const = 0;
    // The body; leaves only normally or by throwing a stageStatus_t.
    virtual void run() = 0;
    // Worker thread, with the thrown status, before it is shown: restores
    // the machine.
    virtual void onStopped(stageStatus_t status);
    // User-interface thread, when the dialog has shown state 0 for a stage.
    virtual void onStageCompleted(int stage);
    // Any thread, when the window that runs the procedure closes while the
    // worker still runs: whatever the body waits on must end soon. The base
    // sets the abort event.
    virtual void stopForClose();

    // "Completed.", "Failed.", "Aborted.", "In Progress...", else empty.
    static std::wstring defaultStatusText(int state);

    // An empty text becomes the state's default text. The stage at the
    // current index (when there is one) takes both; then WM_USER+8 is posted
    // when the owner window exists.
    void setStageStatus(int state, std::wstring text);
    // Status 2 when the abort event is set. Otherwise closes the current
    // stage with state 0 and the text ("Completed." when empty) and opens
    // the next one, or posts the end of the run after the last.
    void finishStage(const std::wstring& text = std::wstring());
    // Status 2 when the link the run started on has been lost (even when it
    // has come back since: the status then says nothing of what the printer
    // did meanwhile) or there is no device; 1 when the machine reports an
    // error; 2 when it is not in state 5 or when the abort event is set.
    void checkMachine();
    // The same test without throwing (any thread): completed_e when the run
    // may go on, else the status it ends with.
    stageStatus_t machineFitness();
    // Sends the command, waits for its reply (state 5 only, up to 60 s),
    // then checks the machine. Status 2 without sending when the run's link
    // has been lost, and when the link failed the command.
    void sendAndCheck(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0,
                      std::int32_t type2 = 0, std::int32_t value2 = 0);
    // A modal question owned by the owner window and captioned with the
    // procedure's name; Cancel of an OK/Cancel question throws status 2.
    int ask(const std::wstring& text, unsigned style);

    // The worker's whole job: stage 0 in progress, the body, and a thrown
    // status handed to onStopped and shown on the current stage. The link
    // that is up now is the run's link.
    void execute();
    // Fresh stage records (state 4, no text), both events clear, index 0.
    void resetForStart();

    // Copies under the stage lock.
    batchStage_t stage(int index) const;
    int stageCount() const;
    int currentStage() const;

    event_t& abortEvent() { return abortEvent_; }
    event_t& secondEvent() { return secondEvent_; }
    HWND ownerWindow() const { return ownerWindow_.load(); }
    void setOwnerWindow(HWND window) { ownerWindow_.store(window); }
    qvrClientDev_t* device() const { return device_; }

    // The procedure the main dialog hands the status-reply signal to; the
    // destructor clears it when it points at the procedure being destroyed.
    static baseStaticBatch_t* current();
    static void setCurrent(baseStaticBatch_t* procedure);

protected:
    void addStage(const std::wstring& name);
    // A parameter's current value by its name; 0 without a device or such a
    // parameter.
    std::int32_t paramValue(const wchar_t* name) const;
    // Stores, logs, sends and saves a parameter, not marked opened, after
    // the machine check: a value measured or chosen on a link that has been
    // lost, or on a machine that stopped, is stored nowhere (the check's
    // status is thrown instead).
    void setParam(const wchar_t* name, std::int32_t value);
    // The same for the user-interface thread: stores nothing and gives the
    // check's status when the machine is not fit, else completed_e.
    stageStatus_t storeParam(const wchar_t* name, std::int32_t value);
    // Homes the XY head when its axis flag is clear, and unhooks the iron
    // when it is hooked (each awaited and checked).
    void homeXYAndUnhookIron();
    // Waits for an event that the user-interface thread sets, in slices of a
    // second; status 2 as soon as the abort event is set or the run's link
    // is lost, so that a window closed before it could set the event, or
    // left open over a lost link, does not leave the worker waiting. With
    // inTechnicianMode the machine check runs after every slice instead (the
    // machine must stay in state 5 while the window is open).
    void waitForUiEvent(event_t& event, bool inTechnicianMode = false);
    // Status 2 when the link the run started on is no longer up.
    void checkLink();
    // The value with that many decimals and '.' as point, as "%.2f" writes
    // it in the classic locale.
    static std::wstring fixedText(double value, int decimals);

private:
    mutable std::mutex stageLock_;
    int currentStage_ = 0;
    event_t abortEvent_{true, false};
    event_t secondEvent_{true, false};
    std::vector<batchStage_t> stages_;
    std::atomic<HWND> ownerWindow_{0};
    qvrClientDev_t* device_;
    // The link that was up when the run began.
    runLink_t runLink_;
};
