#include "platform/qt/qtMessageBox.h"

#include "platform/messageBoxHook.h"
#include "platform/qt/qtWindowSink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using button_e = QMessageBox::StandardButton;

// The buttons of a style in the order Windows numbers them for
// MB_DEFBUTTON1..3.
std::vector<button_e> buttonsOf(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return {QMessageBox::Ok, QMessageBox::Cancel};
    case MB_ABORTRETRYIGNORE: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case MB_YESNOCANCEL: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MB_YESNO: return {QMessageBox::Yes, QMessageBox::No};
    case MB_RETRYCANCEL: return {QMessageBox::Retry, QMessageBox::Cancel};
    default: return {QMessageBox::Ok};  // MB_OK and types we do not use
    }
}

QMessageBox::Icon iconOf(unsigned style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

int showOnUiThread(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style)
{
    QWidget* parent = nullptr;
    if (isWindow(owner))
        if (QWidget* widget = widgetForWindow(owner))
            parent = widget->window();
    QMessageBox box(parent);
    setUpMessageBox(box, text, caption, style);
    box.exec();
    const int answer = messageBoxButtonId(box.standardButton(box.clickedButton()));
    // Closed without a button (cannot normally happen): the answer that
    // does nothing.
    return answer != 0 ? answer : defaultMessageBoxAnswer(style);
}

// A worker's box request. A request that is never run (the application is
// going away) still ends the worker's wait, answered with the default.
struct request_t {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    int answer = 0;
};

class completion_t {
public:
    explicit completion_t(std::shared_ptr<request_t> request) : request_(std::move(request)) {}
    ~completion_t()
    {
        std::lock_guard<std::mutex> guard(request_->lock);
        request_->done = true;
        request_->answered.notify_all();
    }
    completion_t(const completion_t&) = delete;
    completion_t& operator=(const completion_t&) = delete;
    request_t& request() { return *request_; }

private:
    std::shared_ptr<request_t> request_;
};

// Requests are posted under this lock and the user-interface thread takes it
// before it reads one: Qt's queue hands them over with primitives that
// ThreadSanitizer does not see.
std::mutex handOver;

int askUiThread(QObject* app, HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style)
{
    auto request = std::make_shared<request_t>();
    {
        auto completion = std::make_shared<completion_t>(request);
        std::lock_guard<std::mutex> posting(handOver);
        QMetaObject::invokeMethod(
            app,
            [completion, owner, text, caption, style] {
                { std::lock_guard<std::mutex> received(handOver); }
                const int answer = showOnUiThread(owner, text, caption, style);
                std::lock_guard<std::mutex> guard(completion->request().lock);
                completion->request().answer = answer;
            },
            Qt::QueuedConnection);
    }
    std::unique_lock<std::mutex> guard(request->lock);
    request->answered.wait(guard, [&] { return request->done; });
    return request->answer;
}

}  // namespace

messageBoxLayout_t messageBoxLayout(unsigned style)
{
    const std::vector<button_e> buttons = buttonsOf(style);
    messageBoxLayout_t layout{};
    for (button_e b : buttons)
        layout.buttons |= b;
    // A default beyond the last button falls back to the first, as on Windows.
    const std::size_t index = (style & MB_DEFMASK) >> 8;
    layout.defaultButton = index < buttons.size() ? buttons[index] : buttons.front();
    layout.icon = iconOf(style);
    return layout;
}

int messageBoxButtonId(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return 0;
    }
}

void setUpMessageBox(QMessageBox& box, const std::wstring& text, const std::wstring& caption, unsigned style)
{
    const messageBoxLayout_t layout = messageBoxLayout(style);
    QString body = QString::fromStdWString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setTextFormat(Qt::PlainText);
    box.setText(body);
    box.setWindowTitle(QString::fromStdWString(caption));
    box.setIcon(layout.icon);
    box.setStandardButtons(layout.buttons);
    box.setDefaultButton(layout.defaultButton);
}

int qtMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return defaultMessageBoxAnswer(style);
    if (QThread::currentThread() == app->thread())
        return showOnUiThread(owner, text, caption, style);
    // A worker: the box is shown by the user-interface thread (from its
    // event loop or a pumping wait) while this thread waits for the answer.
    const int answer = askUiThread(app, owner, text, caption, style);
    return answer != 0 ? answer : defaultMessageBoxAnswer(style);
}

void installQtMessageBoxHook()
{
    setMessageBoxHook(qtMessageBox);
}
