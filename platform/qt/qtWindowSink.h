// The Qt side of the window table: a sink per widget that registers the
// widget as a window and delivers every posted message as a Qt event to the
// widget, on the thread the widget lives on (the user-interface thread).
//
// Life cycle: the sink registers when it is built and unregisters at the
// window's destroy step (unregister()) or, at the latest, when it is
// destroyed. From then on posts are dropped by the table, and messages that
// were still queued are discarded when they arrive, as they would be for a
// destroyed window. The sink must be built and destroyed on the widget's
// thread, and it must be gone (or unregistered) before the widget's own
// destructor starts: a worker may be posting to the widget until then.
#pragma once
#include "platform/windowTable.h"
#include <QEvent>
#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>

class QWidget;

// One posted window message, as a Qt event.
class windowMessageEvent_t : public QEvent {
public:
    windowMessageEvent_t(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);
    static QEvent::Type eventType();

    HWND window;  // the handle it was posted to
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
};

class qtWindowSink_t : public QObject, public windowSink_t {
    Q_OBJECT
public:
    using handler_t = std::function<void(unsigned message, WPARAM wParam, LPARAM lParam)>;

    qtWindowSink_t(QWidget* widget, handler_t handler);
    ~qtWindowSink_t() override;
    qtWindowSink_t(const qtWindowSink_t&) = delete;
    qtWindowSink_t& operator=(const qtWindowSink_t&) = delete;

    // The window handle; 0 once unregistered.
    HWND handle() const { return handle_.load(); }
    QWidget* widget() const { return widget_; }
    // The destroy step: later posts are dropped, queued ones discarded.
    void unregister();

    // windowSink_t, called by the table on the posting thread.
    void deliver(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void bringToFront() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    handler_t handler_;
    std::atomic<HWND> handle_{0};
    std::mutex postMutex_;
};

// The widget of a window registered through a qtWindowSink_t, or null.
QWidget* widgetForWindow(HWND window);
// The handle of a widget registered through a qtWindowSink_t, or 0.
HWND windowForWidget(const QWidget* widget);
