#include "procedures/batches/qt/delayDlg.h"

#include "link/qvrClientDev.h"
#include "ui_delayDlg.h"

#include <QPushButton>
#include <QTimerEvent>

namespace {

constexpr std::int32_t technicianState = 5;

}  // namespace

delayDlg_t::delayDlg_t(qvrClientDev_t* device, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::delayDlgTemplate>()), device_(device)
{
    ui_->setupUi(this);
    connect(ui_->cancel, &QPushButton::clicked, this, &QDialog::reject);
}

delayDlg_t::~delayDlg_t()
{
    if (timer_ != 0)
        killTimer(timer_);
}

void delayDlg_t::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (timer_ == 0)
        timer_ = startTimer(tickMs);
}

void delayDlg_t::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_)
        return;
    // Over a lost link no RESUME can be seen (the stored state stays the
    // old 5): the window closes, and the check ends as Aborted.
    if (device_ == nullptr || device_->getMachineState() != technicianState || !device_->isConnected()) {
        killTimer(timer_);
        timer_ = 0;
        QDialog::accept();
    }
}
