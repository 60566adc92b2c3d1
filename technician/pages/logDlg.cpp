#include "technician/pages/logDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/fileUtils.h"
#include "machine/messageBox.h"
#include "machine/programUtils.h"
#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/qt/fileDialogHook.h"
#include "technician/pages/layerRows.h"
#include "technician/printErrorsFlag.h"
#include "ui_logDlg.h"

#include <QCalendarWidget>
#include <QCursor>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QFontDatabase>
#include <QHeaderView>
#include <QTreeWidget>

namespace {

logDlg_t::clockFunction_t& pageClock()
{
    static logDlg_t::clockFunction_t clock;
    return clock;
}

QDate toQDate(const calendarDay_t& day)
{
    return QDate(day.year, day.month, day.day);
}

calendarDay_t fromQDate(const QDate& date)
{
    return calendarDay_t{date.year(), date.month(), date.day()};
}

QString qText(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

}  // namespace

logDlg_t::logDlg_t(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::logDlgTemplate>())
{
    ui_->setupUi(this);
    onInitDialog();
}

logDlg_t::~logDlg_t() = default;

void logDlg_t::setClock(clockFunction_t clock)
{
    pageClock() = std::move(clock);
}

void logDlg_t::onInitDialog()
{
    QFont bold = ui_->caption->font();
    bold.setBold(true);
    ui_->caption->setFont(bold);
    ui_->detailedDailyLog->setChecked(true);

    // "#" one ninth of the list's width, the three numbers two ninths each,
    // "XY Home" the rest.
    QTreeWidget* layers = ui_->layerList;
    // (The viewport has no size of its own before the page is first shown;
    // the rows soon need the vertical scroll bar.)
    const int client = layers->width() - 2 * layers->frameWidth() -
                       layers->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, layers);
    const int ninth = client / 9;
    layers->setColumnWidth(0, ninth);
    layers->setColumnWidth(1, 2 * ninth);
    layers->setColumnWidth(2, 2 * ninth);
    layers->setColumnWidth(3, 2 * ninth);
    layers->header()->setStretchLastSection(true);
    layers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layers->setSelectionMode(QAbstractItemView::SingleSelection);

    // A log is read as the machine wrote it, in a fixed-pitch font.
    ui_->view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui_->view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ui_->calendar->setMaximumDate(toQDate(today()));
    ui_->calendar->setSelectedDate(toQDate(today()));
    setMouseTracking(true);

    connect(ui_->detailedDailyLog, &QRadioButton::clicked, this, &logDlg_t::onDetailedDailyLog);
    connect(ui_->briefLog, &QRadioButton::clicked, this, &logDlg_t::onBriefLog);
    connect(ui_->modelsLogs, &QRadioButton::clicked, this, &logDlg_t::onModelsLogs);
    connect(ui_->calendar, &QCalendarWidget::selectionChanged, this, &logDlg_t::onDateChanged);
    connect(ui_->modelList, &QListWidget::itemSelectionChanged, this, &logDlg_t::onModelSelected);
    connect(layers, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        selectedLayerRow_ = ui_->layerList->indexOfTopLevelItem(item);
        item->setSelected(true);
    });
    connect(ui_->openWithNotepad, &QPushButton::clicked, this, &logDlg_t::onOpenWithNotepad);
    connect(ui_->saveAs, &QPushButton::clicked, this, &logDlg_t::onSaveAs);
    connect(ui_->print, &QPushButton::clicked, this, &logDlg_t::onPrint);
    connect(ui_->printErrors, &QCheckBox::clicked, this,
            [](bool checked) { setPrintErrorsAutomatically(checked); });
}

QPlainTextEdit* logDlg_t::view() const { return ui_->view; }
QTreeWidget* logDlg_t::layerList() const { return ui_->layerList; }
QListWidget* logDlg_t::modelList() const { return ui_->modelList; }
QCalendarWidget* logDlg_t::calendar() const { return ui_->calendar; }

// --- where the logs are -------------------------------------------------------

bool logDlg_t::isCurrentPage() const
{
    // The main dialog shows only the page of the chosen tab.
    return !isHidden();
}

qvrClientDev_t* logDlg_t::device() const
{
    return getCurrentClientDevice();
}

std::wstring logDlg_t::machineFolder() const
{
    qvrClientDev_t* current = device();
    return current != nullptr ? current->getMachineFolder() : std::wstring();
}

calendarDay_t logDlg_t::today() const
{
    return localDay(pageClock() ? pageClock()() : std::time(nullptr));
}

calendarDay_t logDlg_t::selectedDay() const
{
    return fromQDate(ui_->calendar->selectedDate());
}

std::wstring logDlg_t::todayDailyLogPath() const
{
    const std::wstring folder = machineFolder();
    return folder.empty() ? std::wstring() : dailyLogPath(folder, today());
}

// --- the active file ------------------------------------------------------------

void logDlg_t::setActiveFile(const std::wstring& path)
{
    activePath_ = path;
    tail_.forget();
    caption_ = L"Active Log File: " + path;
    ui_->caption->setText(qText(caption_));
}

void logDlg_t::openActiveFile()
{
    // The previous stream goes; one that does not open stays as a failed
    // stream, which shows nothing new.
    stream_ = std::make_unique<wlongname_ifstream>(activePath_);
}

void logDlg_t::showLog()
{
    reloadPending_ = false;
    if (!stream_) {
        reloadView();
        return;
    }
    // A log that did not exist when it was chosen (today's, before the
    // machines server wrote its first line) is shown once it does.
    if (!stream_->is_open() && !activePath_.empty())
        openActiveFile();
    if (tail_.read(*stream_) != logTail_t::read_e)
        return;

    QPlainTextEdit* view = ui_->view;
    const std::wstring text = tail_.text();
    const int lineHeight = std::max(1, view->fontMetrics().lineSpacing());
    const int linesThatFit = std::max(1, view->viewport()->height() / lineHeight);
    const int top = logTail_t::firstLineInSight(logTail_t::lineCount(text), linesThatFit);
    // Replaced and scrolled in one paint, so a log that grows while shown
    // does not flicker through its first lines.
    view->setUpdatesEnabled(false);
    view->setPlainText(qText(text));
    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(top);
    view->setUpdatesEnabled(true);
}

void logDlg_t::loadSelectedDay()
{
    const std::wstring folder = machineFolder();
    if (folder.empty())
        return;
    setActiveFile(dailyLogPath(folder, selectedDay()));
    openActiveFile();
    showLog();
}

// --- the three kinds of log -------------------------------------------------------

void logDlg_t::onDetailedDailyLog()
{
    if (!isCurrentPage())
        return;
    const calendarDay_t now = today();
    const calendarDay_t first = std::min(earliestDailyLogDay(machineFolder(), now), now);
    {
        // The range may move the selection; the day's log is loaded below.
        const QSignalBlocker quiet(ui_->calendar);
        ui_->calendar->setDateRange(toQDate(first), toQDate(now));
    }
    loadSelectedDay();
    reloadPending_ = false;
}

void logDlg_t::onBriefLog()
{
    if (!isCurrentPage())
        return;
    qvrClientDev_t* current = device();
    if (current == nullptr)
        return;
    setActiveFile(current->getMachineReportPath());
    openActiveFile();
    showLog();
}

void logDlg_t::onModelsLogs()
{
    QListWidget* list = ui_->modelList;
    if (list->count() == 0) {
        ui_->detailedDailyLog->setChecked(true);
        onDetailedDailyLog();
        return;
    }
    if (list->currentRow() < 0) {
        const QSignalBlocker quiet(list);
        list->setCurrentRow(0);
    }
    const std::wstring folder = machineFolder();
    if (folder.empty())
        return;
    setActiveFile(modelLogPath(folder, list->currentItem()->text().toStdWString()));
    openActiveFile();
    showLog();
}

void logDlg_t::fillModelList()
{
    QListWidget* list = ui_->modelList;
    const QSignalBlocker quiet(list);
    list->clear();
    const std::wstring folder = machineFolder();
    if (folder.empty())
        return;
    for (const std::wstring& title : modelLogTitlesOf(folder, selectedDay()))
        list->addItem(qText(title));
}

void logDlg_t::onModelSelected()
{
    if (ui_->modelList->currentRow() < 0)
        return;
    ui_->modelsLogs->setChecked(true);
    onModelsLogs();
}

void logDlg_t::onDateChanged()
{
    if (ui_->detailedDailyLog->isChecked())
        onDetailedDailyLog();
    fillModelList();
}

// --- what the main dialog calls -------------------------------------------------------

void logDlg_t::onShown()
{
    if (modelListUnfilled_) {
        modelListUnfilled_ = false;
        fillModelList();
    }
    showLog();
}

void logDlg_t::reloadView()
{
    fillModelList();
    if (ui_->detailedDailyLog->isChecked())
        onDetailedDailyLog();
    else if (ui_->briefLog->isChecked())
        onBriefLog();
    else
        onModelsLogs();
}

void logDlg_t::refresh()
{
    const calendarDay_t now = today();
    if (now.day == lastDay_)
        return;
    lastDay_ = now.day;
    // Qt takes the calendar's today from the clock; the page's today is the
    // last day it can choose.
    ui_->calendar->setMaximumDate(toQDate(now));
    reloadView();
    // Only on the tick of the day change: a log that appears later must not
    // move the calendar off a day the technician has chosen since.
    const std::wstring path = ui_->detailedDailyLog->isChecked() ? todayDailyLogPath() : std::wstring();
    if (path.empty() || !fileExists(path))
        return;
    {
        const QSignalBlocker quiet(ui_->calendar);
        ui_->calendar->setSelectedDate(toQDate(now));
    }
    loadSelectedDay();
    fillModelList();
}

void logDlg_t::onNewLog()
{
    if (!isCurrentPage() || !ui_->detailedDailyLog->isChecked() || todayDailyLogPath() != activePath_)
        return;
    const QRect viewArea(ui_->view->mapToGlobal(QPoint(0, 0)), ui_->view->size());
    if (viewArea.contains(QCursor::pos()))
        reloadPending_ = true;
    else
        showLog();
}

void logDlg_t::mouseMoveEvent(QMouseEvent* event)
{
    if (reloadPending_)
        showLog();
    QWidget::mouseMoveEvent(event);
}

void logDlg_t::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc do nothing on this page (they never reach the main
    // dialog's close sequence from here).
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void logDlg_t::onNewLayerRecord()
{
    qvrClientDev_t* current = device();
    if (current == nullptr)
        return;
    QTreeWidget* list = ui_->layerList;
    const layerRowsPlan_t plan = planLayerRows(list->topLevelItemCount(), current->getLastReceivedLayerIndex());
    if (plan.clear) {
        list->clear();
        selectedLayerRow_ = -1;
    }
    const layerRecordSource_t record = [current](std::int32_t index) { return current->getLayerRecord(index); };
    for (int layer = plan.first; layer <= plan.last; ++layer) {
        const layerRow_t row = makeLayerRow(layer, record);
        auto* item = new QTreeWidgetItem(QStringList{qText(row.number), qText(row.height), qText(row.delta),
                                                     qText(row.average), qText(row.xyHome)});
        list->insertTopLevelItem(0, item);
    }
}

// --- the buttons ---------------------------------------------------------------------

void logDlg_t::onOpenWithNotepad()
{
    runProgram(getWindowsDir() + L"/NOTEPAD.EXE", activePath_, true);
}

void logDlg_t::onSaveAs()
{
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::save_e;
    request.parent = this;
    request.filter = L"Machine Log Files (*.LOG)|*.LOG|All Files (*.*)|*.*||";
    request.defaultSuffix = L"LOG";
    request.overwritePrompt = true;
    // The file shown now: a notification handled while the dialog is open
    // (a new machine, the day change) may make another file active.
    const std::wstring source = activePath_;
    const std::optional<std::wstring> target = runFileDialog(request);
    if (!target)
        return;
    // Copied beside the target first and put in its place only when whole:
    // a copy that fails leaves the file that was there, and says why.
    const std::wstring slash = L"/\\";
    const std::size_t cut = target->find_last_of(slash);
    const std::wstring folder = cut == std::wstring::npos ? std::wstring(L".") : target->substr(0, cut);
    const std::wstring temporary = createTempFile(folder, L"LOG");
    const bool saved = !temporary.empty() && copyFile(source, temporary, false) && moveFileReplace(temporary, *target);
    if (!saved) {
        const DWORD error = getLastError();
        if (!temporary.empty())
            deleteFile(temporary);
        setLastError(error);
        messageBox(L"", MB_ICONHAND);
    }
}

void logDlg_t::onPrint()
{
    // The file shown now, whatever the question's wait lets happen.
    const std::wstring path = activePath_;
    if (messageBox(L"Do you want to print the current log file?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    runProgram(getWindowsDir() + L"/NOTEPAD.EXE", L"/p " + path, true);
}
