#include "platform/messageBoxHook.h"
#include "platform/qt/pumpingWait.h"
#include "platform/qt/qtMessageBox.h"
#include "platform/qt/qtWindowSink.h"
#include "platform/qt/processEventsUntil.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using sb = QMessageBox::StandardButton;

struct layoutCase_t {
    unsigned style;
    QMessageBox::StandardButtons buttons;
    sb defaultButton;
    QMessageBox::Icon icon;
};

// What the user saw of the box the answerer clicked.
struct seenBox_t {
    QString text;
    QString caption;
    QWidget* parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QAbstractButton* defaultButton = nullptr;
    QMessageBox::StandardButton defaultStandard = QMessageBox::NoButton;
    int seen = 0;
};

// Answers the first message box that appears among the top-level widgets
// by clicking one of its buttons, as a user would.
class answerer_t {
public:
    explicit answerer_t(sb answer) : answer_(answer)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }
    const seenBox_t& seen() const { return seen_; }

private:
    void poll()
    {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (box == nullptr || !box->isVisible())
                continue;
            seen_.text = box->text();
            seen_.caption = box->windowTitle();
            seen_.parent = box->parentWidget();
            seen_.icon = box->icon();
            seen_.buttons = box->standardButtons();
            seen_.defaultButton = box->defaultButton();
            seen_.defaultStandard = box->standardButton(box->defaultButton());
            ++seen_.seen;
            timer_.stop();
            box->button(answer_)->click();
            return;
        }
    }

    sb answer_;
    QTimer timer_;
    seenBox_t seen_;
};

class hookGuard_t {
public:
    hookGuard_t()
    {
        installQtMessageBoxHook();
        installPumpingWait();
    }
    ~hookGuard_t()
    {
        setMessageBoxHook({});
        setWaitHook({});
    }
};

}  // namespace

TEST(MessageBoxWidget, StylesGiveTheirButtonsDefaultButtonAndIcon)
{
    const QMessageBox::StandardButtons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    const QMessageBox::StandardButtons yesNoCancel = yesNo | QMessageBox::Cancel;
    const QMessageBox::StandardButtons retryCancel = QMessageBox::Retry | QMessageBox::Cancel;
    const QMessageBox::StandardButtons ari = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    const layoutCase_t cases[] = {
        {0x00, QMessageBox::Ok, sb::Ok, QMessageBox::NoIcon},
        {0x01, okCancel, sb::Ok, QMessageBox::NoIcon},
        {0x02, ari, sb::Abort, QMessageBox::NoIcon},
        {0x03, yesNoCancel, sb::Yes, QMessageBox::NoIcon},
        {0x04, yesNo, sb::Yes, QMessageBox::NoIcon},
        {0x05, retryCancel, sb::Retry, QMessageBox::NoIcon},
        {16, QMessageBox::Ok, sb::Ok, QMessageBox::Critical},
        {36, yesNo, sb::Yes, QMessageBox::Question},
        {53, retryCancel, sb::Retry, QMessageBox::Warning},
        {64, QMessageBox::Ok, sb::Ok, QMessageBox::Information},
        {292, yesNo, sb::No, QMessageBox::Question},  // "No as default"
        {0x34, yesNo, sb::Yes, QMessageBox::Warning},
        {0x41, okCancel, sb::Ok, QMessageBox::Information},
        {0x31, okCancel, sb::Ok, QMessageBox::Warning},
        {0x30, QMessageBox::Ok, sb::Ok, QMessageBox::Warning},
        {0x101, okCancel, sb::Cancel, QMessageBox::NoIcon},
        {0x102, ari, sb::Retry, QMessageBox::NoIcon},
        {0x202, ari, sb::Ignore, QMessageBox::NoIcon},
        {0x203, yesNoCancel, sb::Cancel, QMessageBox::NoIcon},
        {0x204, yesNo, sb::Yes, QMessageBox::NoIcon},  // no third button: the first
        {0x100, QMessageBox::Ok, sb::Ok, QMessageBox::NoIcon},
        {0x0A, QMessageBox::Ok, sb::Ok, QMessageBox::NoIcon},  // an unused type: OK
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        const messageBoxLayout_t layout = messageBoxLayout(c.style);
        EXPECT_EQ(layout.buttons, c.buttons);
        EXPECT_EQ(layout.defaultButton, c.defaultButton);
        EXPECT_EQ(layout.icon, c.icon);
    }
}

TEST(MessageBoxWidget, ButtonsAnswerWithTheWindowsIds)
{
    const std::pair<sb, int> cases[] = {
        {sb::Ok, IDOK},       {sb::Cancel, IDCANCEL}, {sb::Abort, IDABORT}, {sb::Retry, IDRETRY},
        {sb::Ignore, IDIGNORE}, {sb::Yes, IDYES},     {sb::No, IDNO},       {sb::Save, 0},
    };
    for (const auto& [button, id] : cases)
        EXPECT_EQ(messageBoxButtonId(button), id) << button;
}

TEST(MessageBoxWidget, ABoxIsBuiltWithPlainTextLinesCaptionAndDefault)
{
    QMessageBox box;
    setUpMessageBox(box, L"Calibration is completed successfully.\r\nNew <value> & more", L"Tovrik", 0x124);
    EXPECT_EQ(box.text(), QStringLiteral("Calibration is completed successfully.\nNew <value> & more"));
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Tovrik"));
    EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.standardButton(box.defaultButton()), QMessageBox::No);
    EXPECT_EQ(box.icon(), QMessageBox::Question);
}

TEST(MessageBoxWidget, AWorkersBoxIsAnsweredWhileTheUserInterfaceThreadWaitsForIt)
{
    struct caseRow_t {
        unsigned style;
        bool owned;
        sb click;
        int expected;
    };
    const caseRow_t rows[] = {
        {0x31, true, sb::Cancel, IDCANCEL},  // "Please close the door." from a procedure
        {0x24, false, sb::Yes, IDYES},
        {53, true, sb::Retry, IDRETRY},
    };
    hookGuard_t hooks;
    QWidget ownerWidget;
    qtWindowSink_t owner(&ownerWidget, {});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.style);
        answerer_t answerer(row.click);
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        int answer = -1;
        std::thread worker([&] {
            const int a = showMessageBox(row.owned ? owner.handle() : 0, L"Please close the door.",
                                         L"Cut Test", row.style);
            std::lock_guard<std::mutex> lock(m);
            answer = a;
            done = true;
            cv.notify_all();
        });
        // The user-interface thread waits without limit for the worker, as a
        // dialog's destructor does; the box must still be served.
        waitWithoutLimit([&](std::uint32_t ms) {
            std::unique_lock<std::mutex> lock(m);
            if (ms == INFINITE)
                cv.wait(lock, [&] { return done; });
            else
                cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done; });
            return done;
        });
        worker.join();
        EXPECT_EQ(answer, row.expected);
        EXPECT_EQ(answerer.seen().seen, 1);
        EXPECT_EQ(answerer.seen().text, QStringLiteral("Please close the door."));
        EXPECT_EQ(answerer.seen().caption, QStringLiteral("Cut Test"));
        EXPECT_EQ(answerer.seen().parent, row.owned ? &ownerWidget : nullptr);
    }
}

TEST(MessageBoxWidget, ABoxAskedOnTheUserInterfaceThreadIsShownDirectly)
{
    hookGuard_t hooks;
    QWidget ownerWidget;
    qtWindowSink_t owner(&ownerWidget, {});
    const HWND gone = [] {
        QWidget w;
        qtWindowSink_t s(&w, {});
        return s.handle();
    }();
    answerer_t yes(sb::Yes);
    EXPECT_EQ(showMessageBox(owner.handle(), L"Change value?", L"Tovrik", 36), IDYES);
    EXPECT_EQ(yes.seen().parent, &ownerWidget);
    EXPECT_EQ(yes.seen().defaultStandard, QMessageBox::Yes);
    EXPECT_EQ(yes.seen().icon, QMessageBox::Question);

    // An owner that no longer exists: the box has no parent.
    answerer_t ok(sb::Ok);
    EXPECT_EQ(showMessageBox(gone, L"Model building was aborted.", L"Tovrik", 16), IDOK);
    EXPECT_EQ(ok.seen().parent, nullptr);
    EXPECT_EQ(ok.seen().icon, QMessageBox::Critical);
}
