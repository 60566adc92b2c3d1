#include "platform/qt/closeModalWindows.h"

#include "platform/qt/cancelInSteps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QTimer>

namespace {

// Often enough that the way out is not visibly slow, seldom enough not to
// spin while a window waits for its worker.
constexpr int turnMs = 20;

class modalCloser_t : public QObject {
public:
    modalCloser_t(QWidget* bottom, std::function<void()> then)
        : QObject(QCoreApplication::instance()), bottom_(bottom), then_(std::move(then))
    {
        connect(&timer_, &QTimer::timeout, this, &modalCloser_t::turn);
        timer_.start(turnMs);
    }

private:
    void turn()
    {
        // Once the main window has ended, what opens later is none of this
        // closer's business.
        if (bottom_.isNull() || (!then_ && !bottom_->isVisible())) {
            finish();
            return;
        }
        QWidget* top = QApplication::activeModalWidget();
        if (top == nullptr || top == bottom_.data()) {
            if (then_) {
                std::function<void()> then = std::move(then_);
                then_ = nullptr;
                then();
            }
            // Until the main window has ended (it may wait for the machine's
            // answer), a window that opens over it would hold the end up
            // again: it is watched for.
            return;
        }
        // Closing a window may serve events (a window that waits for its
        // worker); meanwhile it is not asked again, while a window that
        // opens over it is.
        if (closing_.contains(top))
            return;
        closing_.insert(top);
        cancelModalWindow(top);
        closing_.remove(top);
    }

    void finish()
    {
        timer_.stop();
        deleteLater();
    }

    QTimer timer_;
    QPointer<QWidget> bottom_;
    std::function<void()> then_;
    QSet<QWidget*> closing_;
};

}  // namespace

void cancelModalWindow(QWidget* window)
{
    if (auto* steps = dynamic_cast<cancelInSteps_t*>(window)) {
        steps->cancelStep();
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        for (const QMessageBox::StandardButton answer :
             {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Ok}) {
            if (QAbstractButton* button = box->button(answer)) {
                button->click();
                return;
            }
        }
        box->reject();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
        return;
    }
    window->close();
}

void closeModalWindowsThen(QWidget* bottom, std::function<void()> then)
{
    new modalCloser_t(bottom, std::move(then));
}
