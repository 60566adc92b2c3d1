// What the coded procedures ask of the user-interface thread besides message
// boxes: the trim calibration's number chooser, the knife check's wait for
// the machine's RESUME button, and the refresh of the main window's pages
// after a procedure changed a parameter. The procedures' Qt half installs the
// two dialogs, the technician program the refresh, tests their own. Each is
// called on the user-interface thread (from onStageCompleted).
//
// Without a hook: no number is chosen, the wait returns at once (so the knife
// check aborts, as when its window is cancelled), nothing is refreshed.
#pragma once
#include "platform/winConstants.h"

#include <functional>

class qvrClientDev_t;

struct batchDialogs_t {
    // Modal; true with the chosen number (1..maximum) when the user pressed OK.
    std::function<bool(HWND owner, int maximum, int initial, int& chosen)> chooseTrimNumber;
    // Modal; returns once the machine left state 5 or the user cancelled.
    std::function<void(HWND owner, qvrClientDev_t* device)> waitForResume;
    std::function<void()> refreshMainWindow;
};

// Replaces the hooks that are set in `dialogs`; an empty member keeps the
// installed one. clearBatchDialogs restores the defaults.
void setBatchDialogs(const batchDialogs_t& dialogs);
void clearBatchDialogs();
bool chooseTrimNumber(HWND owner, int maximum, int initial, int& chosen);
void waitForResume(HWND owner, qvrClientDev_t* device);
void refreshMainWindow();
