// The Printer Logs page inside the main dialog, over a device that reaches
// no server: the notifications and the timer that the main dialog routes to
// it, what the reader sees of a daily log, the day change, and the three
// buttons.
#include "link/qvrClientDev.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "machine/wstr.h"
#include "platform/messageBoxHook.h"
#include "platform/process.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "technician/mainDlg.h"
#include "technician/pages/logDlg.h"
#include "technician/printErrorsFlag.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>
#include <memory>
#include <sys/time.h>

namespace {

constexpr std::time_t dec8at0 = 1796688000;  // 2026-12-08 00:00:00 UTC

std::string lines(int from, int count)
{
    std::string text;
    for (int i = from; i < from + count; ++i)
        text += "12:00:00 line " + std::to_string(i) + "\n";
    return text;
}

// A log as the server leaves it, last written at that time.
void writeLog(const std::wstring& path, const std::string& bytes, std::time_t lastWrite)
{
    ASSERT_TRUE(writeRawFile(path, bytes));
    const timeval times[2] = {{lastWrite, 0}, {lastWrite, 0}};
    ASSERT_EQ(::utimes(linuxPathOf(path).c_str(), times), 0);
}

class LogDlgWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& commandLine) {
            starts_.push_back(commandLine);
            return true;
        });
        mainDlg_t::setDeviceFactory(
            [](sharedLock_t& lock) -> qvrClientDev_t* { return new testClientDev_t(HWND(0), lock); });
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
        setNow(dec8at0 + 12 * 3600);
        dialog_ = std::make_unique<mainDlg_t>(false);
        dialog_->setServer(L"", closedPort());
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
        page_ = dialog_->logsPage();
        folder_ = dialog_->device()->getMachineFolder();
    }

    void TearDown() override
    {
        dialog_.reset();
        mainDlg_t::setDeviceFactory({});
        setLauncherHook({});
        setFileDialogHook({});
        setMessageBoxHook({});
        logDlg_t::setClock({});
        setPrintErrorsAutomatically(false);
    }

    void setNow(std::time_t now)
    {
        logDlg_t::setClock([now] { return now; });
    }
    std::wstring daily(int day) const
    {
        return folder_ + L"/Daily_Logs/" + (day < 10 ? L"0" : L"") + toStr(day) + L"Dec26.LOG";
    }
    void notify(int code)
    {
        dialog_->onDeviceNotify(static_cast<WPARAM>(code),
                                reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(dialog_->device())));
    }
    std::wstring viewText() const { return page_->view()->toPlainText().toStdWString(); }
    std::wstring caption() const { return windowText(dlgItem(page_, logDlgId::caption)); }
    // The block at the view's bottom edge.
    int bottomLine() const
    {
        QPlainTextEdit* view = page_->view();
        return view->cursorForPosition(QPoint(2, view->viewport()->height() - 2)).blockNumber();
    }

    std::unique_ptr<mainDlg_t> dialog_;
    logDlg_t* page_ = nullptr;
    std::wstring folder_;
    std::vector<std::wstring> starts_;  // programs are started on this thread
};

TEST_F(LogDlgWidget, TabShowsTheTailOfTodaysLogAndNewLogsReloadIt)
{
    ASSERT_NE(page_, nullptr);
    EXPECT_EQ(dialog_->page(mainDlg_t::logsTab), page_);
    EXPECT_EQ(dialogId(page_), 195);
    for (const int id : {1067, 1068, 1069, 1070, 1071, 1072, 1073, 1074, 1075, 1076, 1126, 1127}) {
        const QWidget* control = dlgItem(page_, id);
        ASSERT_NE(control, nullptr) << id;
        EXPECT_TRUE(QRect(0, 0, 690, 440).contains(control->geometry())) << id;
    }
    const std::string first = lines(0, 2000);
    ASSERT_TRUE(writeRawFile(daily(8), first));

    dialog_->onTabChanged(mainDlg_t::logsTab);
    EXPECT_EQ(page_->activePath(), daily(8));
    EXPECT_EQ(caption(), L"Active Log File: " + daily(8));
    const std::wstring tail(first.end() - 16384, first.end());
    EXPECT_TRUE(viewText() == tail) << viewText().size();
    // The log's end is in sight.
    EXPECT_GE(bottomLine(), page_->view()->blockCount() - 2);

    // The server appends; the cursor is away from the view.
    QCursor::setPos(page_->mapToGlobal(QPoint(2, 2)));
    ASSERT_TRUE(writeRawFile(daily(8), first + lines(2000, 1)));
    notify(101);
    EXPECT_NE(viewText().find(L"line 2000\n"), std::wstring::npos);

    // With the cursor resting over the view the text stays until the mouse
    // moves over the page itself.
    const int scrolled = page_->view()->verticalScrollBar()->value();
    QCursor::setPos(page_->view()->mapToGlobal(page_->view()->rect().center()));
    ASSERT_TRUE(writeRawFile(daily(8), first + lines(2000, 2)));
    notify(101);
    EXPECT_TRUE(page_->isReloadPending());
    EXPECT_EQ(viewText().find(L"line 2001\n"), std::wstring::npos);
    EXPECT_EQ(page_->view()->verticalScrollBar()->value(), scrolled);
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), page_->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(page_, &move);
    EXPECT_FALSE(page_->isReloadPending());
    EXPECT_NE(viewText().find(L"line 2001\n"), std::wstring::npos);
}

TEST_F(LogDlgWidget, ModelLogsOfTheChosenDayAndTheFallBackToTheDailyLog)
{
    writeLog(daily(7), lines(0, 1), dec8at0 - 3600);
    writeLog(daily(8), lines(0, 3), dec8at0 + 3600);
    writeLog(folder_ + L"/Models_Logs/Cube_08Dec26_1000.log", "Model\n", dec8at0 + 36000);
    dialog_->onTabChanged(mainDlg_t::logsTab);
    ASSERT_EQ(page_->modelList()->count(), 1);

    page_->modelList()->setCurrentRow(0);
    EXPECT_TRUE(dlgItemAs<QRadioButton>(page_, logDlgId::modelsLogs)->isChecked());
    EXPECT_EQ(page_->activePath(), folder_ + L"/Models_Logs/Cube_08Dec26_1000.log");
    EXPECT_EQ(viewText(), L"Model\n");

    // A day without model logs empties the list; "Models Logs:" then falls
    // back to the daily log.
    page_->calendar()->setSelectedDate(QDate(2026, 12, 7));
    EXPECT_EQ(page_->modelList()->count(), 0);
    page_->onModelsLogs();
    EXPECT_TRUE(dlgItemAs<QRadioButton>(page_, logDlgId::detailedDailyLog)->isChecked());
    EXPECT_EQ(page_->activePath(), folder_ + L"/Daily_Logs/07Dec26.LOG");

    // 151: the list is filled again for the chosen day.
    page_->calendar()->setSelectedDate(QDate(2026, 12, 8));
    writeLog(folder_ + L"/Models_Logs/Ring_08Dec26_1100.log", "Model\n", dec8at0 + 39600);
    notify(151);
    EXPECT_EQ(page_->modelList()->count(), 2);
}

TEST_F(LogDlgWidget, OnlyTheDayChangeTickMovesTheCalendarToTheNewDay)
{
    writeLog(daily(7), "seventh\n", dec8at0 - 3600);
    writeLog(daily(8), "before midnight\n", dec8at0 + 3600);
    setNow(dec8at0 + 86400 - 5);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    dialog_->onTabChanged(mainDlg_t::logsTab);
    EXPECT_EQ(viewText(), L"before midnight\n");

    // The new day's log does not exist at its first tick; the technician
    // then chooses another day, and the log that appears later leaves it.
    setNow(dec8at0 + 86400 + 5);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    EXPECT_EQ(page_->activePath(), daily(8));
    page_->calendar()->setSelectedDate(QDate(2026, 12, 7));
    writeLog(daily(9), "after midnight\n", dec8at0 + 86400 + 10);
    setNow(dec8at0 + 86400 + 15);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    EXPECT_EQ(page_->calendar()->selectedDate(), QDate(2026, 12, 7));
    EXPECT_EQ(page_->activePath(), daily(7));
    EXPECT_EQ(viewText(), L"seventh\n");

    // A new day whose log exists at its tick is chosen and shown.
    writeLog(daily(10), "tenth\n", 2 * 86400 + dec8at0 + 1);
    setNow(dec8at0 + 2 * 86400 + 5);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    EXPECT_EQ(page_->calendar()->selectedDate(), QDate(2026, 12, 10));
    EXPECT_EQ(page_->activePath(), daily(10));
    EXPECT_EQ(viewText(), L"tenth\n");
}

// Print and Save As act on the file shown when the button was pressed,
// though the midnight refresh makes the new day's log active while the
// question or the file dialog is open.
TEST_F(LogDlgWidget, PrintAndSaveAsTakeTheFileShownWhenPressed)
{
    const std::wstring notepad = getWindowsDir() + L"/NOTEPAD.EXE";
    const std::wstring target = L"C:\\copies\\saved.LOG";
    ASSERT_TRUE(createDirectory(L"C:\\copies"));
    writeLog(daily(8), "eighth\n", dec8at0 + 3600);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    dialog_->onTabChanged(mainDlg_t::logsTab);
    int day = 8;
    // The tick of the next day, its log there already.
    const auto midnight = [&] {
        ++day;
        writeLog(daily(day), "day " + std::to_string(day) + "\n", dec8at0 + (day - 8) * 86400);
        setNow(dec8at0 + (day - 8) * 86400 + 5);
        dialog_->onTimer(mainDlg_t::refreshTimerId);
        EXPECT_EQ(page_->activePath(), daily(day));
    };
    setMessageBoxHook([&](HWND, const std::wstring&, const std::wstring&, unsigned) {
        midnight();
        return IDYES;
    });
    setFileDialogHook([&](const fileDialogRequest_t&) -> std::optional<std::wstring> {
        midnight();
        return target;
    });
    starts_.clear();
    dlgItemAs<QPushButton>(page_, logDlgId::print)->click();
    EXPECT_EQ(starts_, std::vector<std::wstring>{buildCommandLine(notepad, L"/p " + daily(8))});
    dlgItemAs<QPushButton>(page_, logDlgId::saveAs)->click();
    EXPECT_EQ(readRawFile(target), std::optional<std::string>("day 9\n"));
}

TEST_F(LogDlgWidget, ButtonsStartNotepadAndSaveOrSayWhyNot)
{
    ASSERT_TRUE(writeRawFile(daily(8), "today\n"));
    dialog_->onTabChanged(mainDlg_t::logsTab);
    const std::wstring notepad = getWindowsDir() + L"/NOTEPAD.EXE";

    dlgItemAs<QPushButton>(page_, logDlgId::openWithNotepad)->click();
    {
        scriptedMessageBox_t boxes;
        boxes.expect(L"Do you want to print the current log file?", MB_YESNO | MB_ICONQUESTION, IDNO);
        boxes.expect(L"Do you want to print the current log file?", MB_YESNO | MB_ICONQUESTION, IDYES);
        dlgItemAs<QPushButton>(page_, logDlgId::print)->click();
        dlgItemAs<QPushButton>(page_, logDlgId::print)->click();
    }
    const std::vector<std::wstring> expected = {buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L""),
                                                buildCommandLine(notepad, daily(8)),
                                                buildCommandLine(notepad, L"/p " + daily(8))};
    EXPECT_EQ(starts_, expected);

    // Save As replaces the chosen file; a copy that fails says so and
    // leaves the file that was there.
    const std::wstring target = L"C:\\copies\\saved.LOG";
    ASSERT_TRUE(writeRawFile(target, "older copy\n"));
    fileDialogRequest_t asked;
    setFileDialogHook([&](const fileDialogRequest_t& request) -> std::optional<std::wstring> {
        asked = request;
        return target;
    });
    dlgItemAs<QPushButton>(page_, logDlgId::saveAs)->click();
    EXPECT_EQ(asked.filter, L"Machine Log Files (*.LOG)|*.LOG|All Files (*.*)|*.*||");
    EXPECT_EQ(asked.defaultSuffix, L"LOG");
    EXPECT_TRUE(asked.overwritePrompt);
    EXPECT_EQ(readRawFile(target), std::optional<std::string>("today\n"));

    ASSERT_TRUE(deleteFile(daily(8)));
    {
        scriptedMessageBox_t boxes;
        boxes.expectContaining(L"cannot find the file", MB_ICONHAND, IDOK);
        dlgItemAs<QPushButton>(page_, logDlgId::saveAs)->click();
    }
    EXPECT_EQ(readRawFile(target), std::optional<std::string>("today\n"));

    auto* box = dlgItemAs<QCheckBox>(page_, logDlgId::printErrors);
    box->click();
    EXPECT_TRUE(printErrorsAutomatically());
    box->click();
    EXPECT_FALSE(printErrorsAutomatically());
}

}  // namespace
