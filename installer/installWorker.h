// The installation itself, run on a worker thread once the user has said
// Yes: the parameter backups (update-only installations), the replacement of
// the USB driver program, the copies of the distribution's files into the
// installation folder (the slicer's folder), then, back on the
// user-interface thread, the shortcuts and the starts of the installed
// programs. The worker reports each new status line, and its end, by
// posting WM_APP (0x8000) with both parameters 0 to its window.
#pragma once
#include "installer/installChoice.h"
#include "installer/shellLink.h"
#include "machine/event.h"
#include "machine/sharedLock.h"
#include "machine/threadHandle.h"
#include "platform/winConstants.h"

#include <string>

// Thrown to abandon the copies when the user cancels a failed one; caught by
// the worker itself.
struct endThread_t {};

class installWorker_t {
public:
    explicit installWorker_t(installChoice_t choice);
    // Waits for a thread still running.
    ~installWorker_t();
    installWorker_t(const installWorker_t&) = delete;
    installWorker_t& operator=(const installWorker_t&) = delete;

    // Runs install on the worker thread, then sets the done event and posts
    // WM_APP to the window.
    void start(HWND window);
    // The status line as the worker last set it.
    std::wstring statusText() const;
    bool isDone() { return done_.isSet(); }
    // The end of the installation, on the user-interface thread once the
    // worker is done: waits for its thread, makes the shortcuts, starts the
    // installed driver and, when the worker asked for it, the updater.
    void finish();

    // The worker's steps.
    void install();
    // Copies one distribution file into the installation folder; false when
    // the distribution lacks it. Asks "Cannot copy ..." (Retry, Cancel) while
    // it fails; Cancel throws endThread_t.
    bool copyFileWithRetry(const std::wstring& name);
    void createShortcuts();
    static hresult_t createShortcut(const std::wstring& target, const std::wstring& link,
                                    const std::wstring& description);

    const installChoice_t& choice() const { return choice_; }
    // Read only after the worker has ended.
    bool startUpdater() const { return startUpdater_; }

private:
    static unsigned threadProcedure(void* argument);
    void setStatus(const std::wstring& text, bool post);
    // The copies in their order; the edition's driver comes first and the
    // result tells whether it was copied.
    bool copyDriver();
    void copyTheOtherFiles();

    const installChoice_t choice_;
    std::wstring statusText_;
    sharedLock_t statusLock_;
    event_t done_{true, false};
    bool startUpdater_ = false;
    HWND window_ = 0;
    // Last, so that it is destroyed (and its thread awaited) first.
    threadHandle_t thread_;
};
