// Closing the modal windows a program has open, as the user would close each
// with its own No or Cancel: for the end of the program on a signal, when
// nobody may be there to answer them (a program under xvfb-run).
//
// Each window's modal loop runs nested in the one of the window under it,
// so they can only unwind innermost first: one window is closed per turn of
// the event loop, and the next turn, once that window's loop has returned,
// looks again. A question is answered No (Cancel where it has no No, OK for
// a plain notice), so that nothing the user did not confirm is done; a file
// or print dialog is cancelled; a window whose Cancel takes steps
// (cancelInSteps_t) is stepped; any other dialog is rejected and any other
// window closed. A window that opens meanwhile (a notice shown on the way
// out) is closed the same way.
#pragma once
#include <functional>

class QWidget;

// From the next turn on, closes the modal windows open above `bottom` (the
// main window), then runs `then` once (which closes the main window).
// Windows that open afterwards are closed too, for as long as `bottom` is
// shown. User-interface thread only.
void closeModalWindowsThen(QWidget* bottom, std::function<void()> then);

// Closes one window as its own No or Cancel closes it (one step for a
// cancelInSteps_t).
void cancelModalWindow(QWidget* window);
