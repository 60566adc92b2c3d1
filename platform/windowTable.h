// The table of window handles. A window (a Qt widget, or a queue in tests)
// registers a sink and gets a handle that is never reused; posting to a
// handle that is no longer registered is dropped, which gives the system's
// "only while the window exists" rules. Thread-safe: a post holds the table
// lock while it hands the message to the sink, and unregistering takes the
// same lock, so no post reaches a sink after it unregistered.
#pragma once
#include "platform/winConstants.h"

class windowSink_t {
public:
    virtual ~windowSink_t() = default;
    // Called on the posting thread, under the table lock: queue the message
    // for the window's own thread; do not block.
    virtual void deliver(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
    // Raise the window above others (the message box brings the main window
    // to the foreground); does nothing by default.
    virtual void bringToFront() {}
};

HWND registerWindow(windowSink_t* sink);
void unregisterWindow(HWND window);
bool isWindow(HWND window);
// False when the window does not exist (the message is dropped).
bool postMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);
void bringWindowToFront(HWND window);
