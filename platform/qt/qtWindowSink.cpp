#include "platform/qt/qtWindowSink.h"

#include <QCoreApplication>
#include <QHash>
#include <QWidget>
#include <mutex>

namespace {

// Handle -> widget, for message-box owners and window lookups. Kept beside
// the window table because the table only knows sinks.
std::mutex widgetsMutex;
QHash<HWND, QWidget*>& widgets()
{
    static QHash<HWND, QWidget*> map;
    return map;
}

}  // namespace

windowMessageEvent_t::windowMessageEvent_t(HWND window_, unsigned message_, WPARAM wParam_, LPARAM lParam_)
    : QEvent(eventType()), window(window_), message(message_), wParam(wParam_), lParam(lParam_)
{
}

QEvent::Type windowMessageEvent_t::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

qtWindowSink_t::qtWindowSink_t(QWidget* widget, handler_t handler)
    : widget_(widget), handler_(std::move(handler))
{
    widget_->installEventFilter(this);
    const HWND window = registerWindow(this);
    handle_.store(window);
    std::lock_guard<std::mutex> lock(widgetsMutex);
    widgets().insert(window, widget_);
}

qtWindowSink_t::~qtWindowSink_t()
{
    unregister();
}

void qtWindowSink_t::unregister()
{
    const HWND window = handle_.load();
    if (window == 0)
        return;
    // After this returns no thread is inside deliver() for this sink.
    unregisterWindow(window);
    {
        std::lock_guard<std::mutex> lock(widgetsMutex);
        widgets().remove(window);
    }
    handle_ = 0;
}

void qtWindowSink_t::deliver(unsigned message, WPARAM wParam, LPARAM lParam)
{
    // Runs under the table lock, so the widget is still alive: it cannot
    // unregister (and so cannot be destroyed) until this returns.
    auto* event = new windowMessageEvent_t(handle_.load(), message, wParam, lParam);
    // Posted under our own lock, which the filter takes before it reads the
    // event: Qt's queue hands it over with primitives ThreadSanitizer does
    // not see.
    std::lock_guard<std::mutex> lock(postMutex_);
    QCoreApplication::postEvent(widget_, event);
}

void qtWindowSink_t::bringToFront()
{
    // Any thread may ask; the widget is raised on its own thread.
    QMetaObject::invokeMethod(
        this,
        [this] {
            QWidget* top = widget_->window();
            top->show();
            top->raise();
            top->activateWindow();
        },
        Qt::AutoConnection);
}

bool qtWindowSink_t::eventFilter(QObject* watched, QEvent* event)
{
    { std::lock_guard<std::mutex> lock(postMutex_); }
    if (watched != widget_ || event->type() != windowMessageEvent_t::eventType())
        return QObject::eventFilter(watched, event);
    const auto* posted = static_cast<windowMessageEvent_t*>(event);
    // A message still queued at the destroy step no longer matches (the
    // handle is 0 from then on); the widget itself ignores it.
    const HWND window = handle_.load();
    if (window == 0 || posted->window != window)
        return false;
    if (handler_)
        handler_(posted->message, posted->wParam, posted->lParam);
    return true;
}

QWidget* widgetForWindow(HWND window)
{
    std::lock_guard<std::mutex> lock(widgetsMutex);
    return widgets().value(window, nullptr);
}

HWND windowForWidget(const QWidget* widget)
{
    std::lock_guard<std::mutex> lock(widgetsMutex);
    for (auto it = widgets().cbegin(); it != widgets().cend(); ++it)
        if (it.value() == widget)
            return it.key();
    return 0;
}
