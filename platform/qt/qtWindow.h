// A widget that is a window of the window table: it registers when it is
// built and turns every message posted to its handle into a call of
// onWindowMessage on the user-interface thread.
//
//     class progressDlg_t : public qtWindow_t<QDialog> {
//         Q_OBJECT
//         void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
//     };
//
// destroyWindow() is the window's destroy step: call it before the window
// tears down what its handlers use (its device, its worker). A destructor
// that waits (a pumping wait keeps delivering events) must call it first;
// the base calls it again at the latest, before the widget is destroyed.
#pragma once
#include "platform/qt/qtWindowSink.h"
#include <utility>

template <class widget_t>
class qtWindow_t : public widget_t {
public:
    template <class... args_t>
    explicit qtWindow_t(args_t&&... args)
        : widget_t(std::forward<args_t>(args)...),
          sink_(this, [this](unsigned message, WPARAM wParam, LPARAM lParam) {
              onWindowMessage(message, wParam, lParam);
          })
    {
    }

    // The window's handle (what workers post to); 0 after destroyWindow.
    HWND hwnd() const { return sink_.handle(); }
    void destroyWindow() { sink_.unregister(); }

protected:
    virtual void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) = 0;

private:
    qtWindowSink_t sink_;
};
