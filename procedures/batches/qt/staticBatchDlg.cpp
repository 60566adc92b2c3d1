#include "procedures/batches/qt/staticBatchDlg.h"

#include "link/qvrClientDev.h"
#include "machine/messageBox.h"
#include "machine/wstr.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/pumpingWait.h"

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int resultColumn = 2;
constexpr std::int32_t technicianState = 5;
constexpr int dialogResource = 186;

QColor resultColour(int state)
{
    switch (state) {
    case baseStaticBatch_t::completed_e:
        return QColor(0, 192, 0);
    case baseStaticBatch_t::failed_e:
    case baseStaticBatch_t::aborted_e:
        return QColor(255, 0, 0);
    case baseStaticBatch_t::inProgress_e:
        return QColor(0, 0, 192);
    default:
        return QColor();
    }
}

// Serves events for ms milliseconds without a busy loop.
void serveEventsFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

}  // namespace

staticBatchDlg_t::staticBatchDlg_t(baseStaticBatch_t* procedure, QWidget* parent)
    : qtWindow_t<QDialog>(parent), procedure_(procedure)
{
    setDialogId(this, dialogResource);
    if (procedure_->device() != nullptr)
        procedure_->device()->prepareForBatch();

    list_ = new QTreeWidget(this);
    setCtrlId(list_, listId);
    list_->setRootIsDecorated(false);
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("Result")});
    startButton_ = new QPushButton(QStringLiteral("&Start"), this);
    setCtrlId(startButton_, startId);
    cancelButton_ = new QPushButton(QStringLiteral("&Close"), this);
    setCtrlId(cancelButton_, cancelId);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(startButton_, &QPushButton::clicked, this, [this] { start(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { reject(); });

    // Initialisation.
    setWindowText(this, procedure_->name());
    for (int i = 0; i < procedure_->stageCount(); ++i) {
        auto* row = new QTreeWidgetItem(list_);
        row->setText(0, QString::number(i + 1));
        row->setText(1, QString::fromStdWString(procedure_->stage(i).name));
    }
    // The shares hold for the width the list really gets, known only once
    // the dialog is laid out: they follow every resize of the list's
    // viewport. The list is never narrower than its longest stage name
    // needs, whatever the procedure.
    list_->header()->setStretchLastSection(false);
    list_->setMinimumWidth(listWidthForTexts());
    list_->viewport()->installEventFilter(this);
    applyColumnShares();
    procedure_->setOwnerWindow(hwnd());
}

void staticBatchDlg_t::applyColumnShares()
{
    const int width = list_->viewport()->width();
    list_->setColumnWidth(0, width / 9);
    list_->setColumnWidth(1, width * 3 / 9);
    list_->setColumnWidth(2, width * 5 / 9);
}

int staticBatchDlg_t::listWidthForTexts() const
{
    const QFontMetrics metrics = list_->fontMetrics();
    // An item view draws its text inside a margin on either side.
    const int margins = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1) + 2;
    int name = metrics.horizontalAdvance(QStringLiteral("Name"));
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        name = std::max(name, metrics.horizontalAdvance(list_->topLevelItem(i)->text(1)));
    int result = 0;
    for (const int state : {baseStaticBatch_t::completed_e, baseStaticBatch_t::failed_e,
                            baseStaticBatch_t::aborted_e, baseStaticBatch_t::inProgress_e})
        result = std::max(result, metrics.horizontalAdvance(
                                      QString::fromStdWString(baseStaticBatch_t::defaultStatusText(state))));
    const int number = metrics.horizontalAdvance(QString::number(list_->topLevelItemCount()));
    // The viewport width whose shares hold each column's widest text.
    const int viewport = std::max({9 * (number + margins), (9 * (name + margins) + 2) / 3,
                                   (9 * (result + margins) + 4) / 5});
    // Room for the frame, and for a vertical scroll bar should one appear.
    return viewport + 2 * list_->frameWidth() + list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
}

bool staticBatchDlg_t::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->viewport() && event->type() == QEvent::Resize)
        applyColumnShares();
    return qtWindow_t<QDialog>::eventFilter(watched, event);
}

staticBatchDlg_t::~staticBatchDlg_t()
{
    destroyWindow();
    stopWorker();
    worker_.join(INFINITE);
    procedure_.reset();
}

bool staticBatchDlg_t::workerRunning()
{
    return worker_.hasThread() && !workerEnded_.isSet();
}

unsigned staticBatchDlg_t::workerProc(void* argument)
{
    auto* dialog = static_cast<staticBatchDlg_t*>(argument);
    dialog->procedure_->execute();
    dialog->workerEnded_.set();
    return 0;
}

void staticBatchDlg_t::start()
{
    if (workerRunning() || stopping_ || starting_)
        return;
    const int closes = closeCount_;
    procedure_->resetForStart();
    qvrClientDev_t* device = procedure_->device();
    bool connected = device != nullptr && device->isConnected();
    QElapsedTimer clock;
    clock.start();
    // The wait serves events, so a second Start must not begin another.
    starting_ = true;
    while (connected && device->getMachineState() != technicianState) {
        if (clock.elapsed() > startWaitMs) {
            starting_ = false;
            messageBox(L"The machine did not enter Technician Mode.", MB_OK | MB_ICONERROR);
            return;
        }
        device->prepareForBatch();
        serveEventsFor(250);
        // The window may have been closed while it waited.
        if (closeCount_ != closes) {
            starting_ = false;
            return;
        }
        connected = device->isConnected();
    }
    starting_ = false;
    if (!connected) {
        messageBox(L"Cannot start while machine is not connected.", MB_OK | MB_ICONERROR);
        return;
    }
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        list_->topLevelItem(i)->setText(resultColumn, QString());
        list_->topLevelItem(i)->setForeground(resultColumn, QBrush());
    }
    startButton_->setEnabled(false);
    cancelButton_->setText(QStringLiteral("&Cancel"));
    worker_.join(INFINITE);
    workerEnded_.reset();
    if (worker_.start(&staticBatchDlg_t::workerProc, this) == INVALID_HANDLE_VALUE) {
        workerEnded_.set();
        resetButtons();
    }
}

void staticBatchDlg_t::resetButtons()
{
    startButton_->setText(QStringLiteral("Re&start"));
    startButton_->setEnabled(true);
    cancelButton_->setText(QStringLiteral("&Close"));
}

void staticBatchDlg_t::onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (message != baseStaticBatch_t::stageMessage)
        return;
    const int stage = static_cast<int>(wParam);
    const int state = static_cast<int>(lParam);
    if (state == baseStaticBatch_t::overState) {
        resetButtons();
        return;
    }
    if (stage < 0 || stage >= list_->topLevelItemCount())
        return;
    if (state == baseStaticBatch_t::aborted_e)
        resetButtons();
    // The record may have moved on since the post; the row shows the state
    // the message carries, with the record's text when it still matches.
    const batchStage_t record = procedure_->stage(stage);
    QTreeWidgetItem* row = list_->topLevelItem(stage);
    row->setText(resultColumn, QString::fromStdWString(record.statusText));
    row->setForeground(resultColumn, resultColour(record.state));
    if (state == baseStaticBatch_t::completed_e)
        procedure_->onStageCompleted(stage);
}

void staticBatchDlg_t::reject()
{
    if (stopping_)
        return;
    if (workerRunning() && !procedure_->abortEvent().isSet()) {
        procedure_->abortEvent().set();
        cancelButton_->setText(QStringLiteral("Cancelling..."));
        return;
    }
    qvrClientDev_t* device = procedure_->device();
    if (device != nullptr && device->getMachineState() == technicianState)
        device->sendCommand(132);
    QDialog::reject();
}

void staticBatchDlg_t::cancelStep()
{
    if (stopping_ || (workerRunning() && procedure_->abortEvent().isSet()))
        return;
    reject();
}

void staticBatchDlg_t::done(int result)
{
    ++closeCount_;
    stopWorker();
    QDialog::done(result);
}

void staticBatchDlg_t::stopWorker()
{
    if (stopping_ || !workerRunning())
        return;
    stopping_ = true;
    procedure_->stopForClose();
    pumpingWait([this](std::uint32_t ms) { return workerEnded_.wait(ms); });
    worker_.join(INFINITE);
    stopping_ = false;
}
