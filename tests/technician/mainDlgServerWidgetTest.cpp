// The main dialog against the machines server stand-in, in process on an
// ephemeral port: the link, the title, the indicator and the temperature
// come from a simulated printer, the close sequence's command 19 reaches it
// and its status reply ends the window (on an end signal too, once the
// windows open over it have closed), the server's machine list starts
// the further instances, the device comes back by itself after the server
// went away, and the end of the window leaves no thread behind in any state
// of the link.
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "platform/messageBoxHook.h"
#include "platform/process.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/qt/processEventsUntil.h"
#include "platform/qt/qtMessageBox.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/tabCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/mainDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/pages/installationDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/tempPrefix.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int machineFlagsWord = 120;

// Threads of this process.
int threadCount()
{
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

// Counts the flips of the indicator while events are processed.
class blinkCounter_t {
public:
    explicit blinkCounter_t(const mainDlg_t& dialog) : dialog_(dialog), shown_(dialog.blinkIndex()) {}
    int flips()
    {
        if (dialog_.blinkIndex() != shown_) {
            shown_ = dialog_.blinkIndex();
            ++flips_;
        }
        return flips_;
    }

private:
    const mainDlg_t& dialog_;
    int shown_;
    int flips_ = 0;
};

class MainDlgServerWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& commandLine) {
            std::lock_guard<std::mutex> guard(startsLock_);
            starts_.push_back(commandLine);
            return true;
        });
    }

    void TearDown() override
    {
        dialog_.reset();
        if (server_)
            server_->stop();
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    // A server with the machines (ID, name) on an ephemeral port, or on the
    // port given.
    wendaroServer_t& serve(const std::vector<std::pair<std::uint32_t, std::wstring>>& machines, int port = 0)
    {
        wendaroConfig_t config;
        config.port = port;
        for (const auto& [id, name] : machines) {
            wendaroMachineConfig_t machine;
            machine.printer.machineID = id;
            machine.printer.writeLogs = false;
            machine.name = name;
            config.machines.push_back(machine);
        }
        server_ = std::make_unique<wendaroServer_t>(config);
        std::wstring error;
        EXPECT_TRUE(server_->start(&error)) << std::string(error.begin(), error.end());
        return *server_;
    }

    mainDlg_t& open(const wchar_t* commandLine, bool iFlag)
    {
        tovrikApp().readCommandLine(commandLine);
        dialog_ = std::make_unique<mainDlg_t>(iFlag);
        dialog_->setServer(L"localhost", server_ ? server_->port() : closedPort());
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
        return *dialog_;
    }

    std::wstring title() const { return dialog_->windowTitle().toStdWString(); }

    std::vector<std::wstring> starts()
    {
        std::lock_guard<std::mutex> guard(startsLock_);
        return starts_;
    }

    std::unique_ptr<wendaroServer_t> server_;
    std::unique_ptr<mainDlg_t> dialog_;
    std::mutex startsLock_;
    std::vector<std::wstring> starts_;
};

TEST_F(MainDlgServerWidget, ShowsTheSimulatedPrinter)
{
    serve({{3, L"Printer 3"}}).printer(3).setTemperature(37);
    open(L"\"C:\\Tovrik.exe\" 3", false);

    ASSERT_TRUE(processEventsUntil([this] { return title() == L"Printer 3 - Tovrik"; })) << title().size();
    ASSERT_TRUE(processEventsUntil([this] { return dialog_->temperatureText() == L"37\u00b0"; }));
    EXPECT_EQ(dialog_->controls().temperature->text(), QStringLiteral("37\u00b0"));

    // Every status swaps the indicator's bitmap.
    const QImage lit = loadBitmapResource(133).toImage();
    const QImage dark = loadBitmapResource(134).toImage();
    bool sawLit = false;
    bool sawDark = false;
    ASSERT_TRUE(processEventsUntil([&] {
        const QImage shown = dialog_->controls().indicator->bitmap().toImage();
        sawLit = sawLit || shown == lit;
        sawDark = sawDark || (sawLit && shown == dark);
        return sawLit && sawDark;
    }));

    server_->printer(3).setTemperature(255);
    EXPECT_TRUE(processEventsUntil([this] { return dialog_->temperatureText() == L"N/A"; }));
    // Started on its machine number: no further instances, only the driver.
    EXPECT_EQ(starts().size(), 1u);
}

TEST_F(MainDlgServerWidget, OpenDoorCloseSends19OnceAndEndsOnTheStatusReply)
{
    serve({{5, L"Lab printer"}});
    open(L"\"C:\\Tovrik.exe\" 5", false);
    ASSERT_TRUE(processEventsUntil([this] { return title() == L"Lab printer - Tovrik"; }));
    const std::int32_t flags = server_->printer(5).memoryWord(machineFlagsWord);
    dialog_->device()->setParameterWord(machineFlagsWord, flags | 0x5);
    const std::uint64_t mark = server_->trace().mark();

    dialog_->onCancel();
    dialog_->onCancel();
    EXPECT_TRUE(dialog_->isClosing());
    ASSERT_TRUE(processEventsUntil([this] { return dialog_->hasEnded(); }));
    const auto isCommand19 = [](const wendaroTraceEntry_t& entry) {
        return entry.kind == wendaroTraceEntry_t::kind_e::in_e && entry.command == 19;
    };
    EXPECT_EQ(server_->trace().count(isCommand19, mark), 1u);
    // The printer got the flags without the Open Door bits.
    EXPECT_TRUE(processEventsUntil(
        [&] { return server_->printer(5).memoryWord(machineFlagsWord) == (flags & ~0x5); }));
}

TEST_F(MainDlgServerWidget, MotorsPageMovesTheSimulatedPrinter)
{
    simPrinter_t& printer = serve({{3, L"Printer 3"}}).printer(3);
    open(L"\"C:\\Tovrik.exe\" 3", false);
    ASSERT_TRUE(processEventsUntil([this] { return title() == L"Printer 3 - Tovrik"; }));
    dialog_->controls().tabs->tabBar()->setCurrentIndex(1);
    operationsDlg_t* operations = dialog_->operationsPage();
    operations->innerTabs()->tabBar()->setCurrentIndex(3);
    QWidget* motors = operations->page(3);
    auto* xHome = dlgItemAs<sensorCtrl_t>(operations, 1037);

    dlgItemAs<QPushButton>(motors, 1050)->click();  // Find Home XY
    ASSERT_TRUE(processEventsUntil([&] {
        return printer.position(0) == 0 && printer.position(1) == 0 && xHome->shownState() == sensorCtrl_t::lit_e;
    }));

    // The right arrow, 10 mm: 457 steps of 21892 nm on the printer.
    auto* right = dlgItem(motors, 1039);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(right->mapToGlobal(QPoint(3, 3))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(right, &press);
    ASSERT_TRUE(processEventsUntil([&] { return printer.position(0) == 10000000; }));
    EXPECT_TRUE(processEventsUntil([&] {
        return windowText(dlgItem(motors, 1041)) == L"10.00" && xHome->shownState() == sensorCtrl_t::dark_e;
    }));

    dlgItemAs<QPushButton>(motors, 1098)->click();  // Take 1mm Pen
    EXPECT_TRUE(processEventsUntil([&] { return windowText(dlgItem(motors, 1101)) == L"1mm Pen"; }));
    EXPECT_EQ(printer.currentTool(), 4);
    dlgItemAs<QCheckBox>(motors, 1035)->click();  // XY Motors Power OFF
    EXPECT_TRUE(processEventsUntil([&] {
        return (printer.info().motorPowerWord() & 0x200) == 0 &&
               dlgItemAs<QCheckBox>(motors, 1035)->checkState() == Qt::Checked;
    }));
}

TEST_F(MainDlgServerWidget, ThreeMachinesStartTwoMoreInstances)
{
    serve({{3, L"A"}, {12, L"B"}, {14, L"C"}});
    open(L"\"C:\\Tovrik.exe\" /I", true);
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    const std::vector<std::wstring> expected = {buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L""),
                                                buildCommandLine(program, L"/I 12"),
                                                buildCommandLine(program, L"/I 14")};
    ASSERT_TRUE(processEventsUntil([this] { return starts().size() >= 3; }));
    // This instance stays on the first machine; a later greeting starts nothing.
    ASSERT_TRUE(processEventsUntil([this] { return title() == L"A - Tovrik"; }));
    const std::uint32_t first = server_->connections().at(0).id;
    server_->dropConnection(first);
    ASSERT_TRUE(processEventsUntil([&] {
        for (const auto& connection : server_->connections())
            if (connection.id != first && connection.machine == 3)
                return true;
        return false;
    }));
    // Two statuses on the new connection: its greeting has been handled.
    int flips = 0;
    int shown = dialog_->blinkIndex();
    ASSERT_TRUE(processEventsUntil([&] {
        if (dialog_->blinkIndex() != shown) {
            shown = dialog_->blinkIndex();
            ++flips;
        }
        return flips >= 2;
    }));
    EXPECT_EQ(starts(), expected);
}

// The first end signal (Ctrl-C, a closed terminal) while a modal window is
// open: each window closes as its own No or Cancel closes it, innermost
// first, and then the main window runs its close sequence and ends on the
// printer's answer to 19. A question restores nothing, a file dialog opens
// nothing, and a running procedure is cancelled as its Cancel button
// cancels it: its clean-up reaches the printer before the window's own 132.
TEST_F(MainDlgServerWidget, EndSignalClosesTheModalWindowsThenRunsTheCloseSequence)
{
    enum class modal_e { question_e, fileDialog_e, procedure_e };
    struct row_t {
        const char* name;
        modal_e modal;
        // The commands that reach the printer from the signal on, status
        // requests left out.
        std::vector<int> commands;
    };
    // 130 with the pump axis: the clean-bubbles clean-up; 132: the progress
    // window leaves the procedure state; 3 and 19: the Open Door flags
    // written and the close command.
    const row_t rows[] = {
        {"question box", modal_e::question_e, {3, 19}},
        {"file dialog", modal_e::fileDialog_e, {3, 19}},
        {"progress window of a running procedure", modal_e::procedure_e, {130, 132, 3, 19}},
    };
    constexpr int trimYWord = 51;  // "Trim Y initial"
    installQtMessageBoxHook();
    setFileDialogHook({});
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        dialog_.reset();
        server_.reset();
        simPrinter_t& printer = serve({{3, L"Printer 3"}}).printer(3);
        const std::int32_t flags = printer.memoryWord(machineFlagsWord) | 0x5;
        printer.setMemoryWord(machineFlagsWord, flags);
        // A listed parameter away from its factory value: what Yes would restore.
        const std::int32_t trimY = printer.memoryWord(paramLayout::factoryBlockWord + trimYWord) + 1;
        printer.setMemoryWord(trimYWord, trimY);
        int delayed = 0;
        if (row.modal == modal_e::procedure_e) {
            // The first pump move is answered late: the signal comes while
            // the worker waits for it.
            wendaroFaultRule_t late;
            late.word = L"CMND";
            late.command = 129;
            late.action = wendaroFaultRule_t::action_e::delay_e;
            late.value = 1000;
            delayed = server_->faults().add(late);
        }
        open(L"\"C:\\Tovrik.exe\" 3", false);
        // Shown as the program shows it: modal, under the windows it opens.
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->show();
        const auto word = [this](int index) {
            std::vector<std::int32_t> memory(paramLayout::words);
            dialog_->device()->getParameterMemory(memory.data());
            return memory.at(static_cast<std::size_t>(index));
        };
        ASSERT_TRUE(processEventsUntil([&] {
            return title() == L"Printer 3 - Tovrik" && word(machineFlagsWord) == flags && word(trimYWord) == trimY;
        }));
        ASSERT_TRUE(writeRawFile(dialog_->device()->getOpenedParamsPath(), "51 Trim Y initial\r\n"));
        dialog_->installationPage()->fillParameterList();

        // Sends the signal once the row's window is up (the procedure
        // started and waiting for the printer); from inside that window's
        // own loop.
        std::uint64_t mark = 0;
        bool signalled = false;
        bool started = false;
        QTimer driver;
        driver.setInterval(10);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            bool ready = false;
            switch (row.modal) {
            case modal_e::question_e:
                ready = qobject_cast<QMessageBox*>(modal) != nullptr;
                break;
            case modal_e::fileDialog_e:
                ready = qobject_cast<QFileDialog*>(modal) != nullptr;
                break;
            case modal_e::procedure_e:
                if (auto* progress = qobject_cast<staticBatchDlg_t*>(modal); progress != nullptr && !started) {
                    started = true;
                    QTimer::singleShot(0, progress->startButton(), &QPushButton::click);
                }
                ready = server_->faults().actedCount(delayed) >= 1;
                break;
            }
            if (!ready)
                return;
            driver.stop();
            mark = server_->trace().mark();
            signalled = true;
            tovrikApp().closeOnEndSignal(SIGINT);
        });
        // A window the signal left open is closed here, late, so that the
        // test ends.
        bool leftOpen = false;
        QTimer rescue;
        rescue.setInterval(100);
        QObject::connect(&rescue, &QTimer::timeout, [&] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()); modal != dialog_.get()) {
                leftOpen = true;
                modal->reject();
            }
        });
        QTimer::singleShot(20000, &rescue, qOverload<>(&QTimer::start));
        driver.start();
        switch (row.modal) {
        case modal_e::question_e:
            dialog_->installationPage()->onRestoreFactory();
            break;
        case modal_e::fileDialog_e:
            dialog_->installationPage()->onUpdateMachineParameters();
            break;
        case modal_e::procedure_e:
            dlgItemAs<QPushButton>(dialog_->operationsPage()->calibratePage(), 1018)->click();  // Clean Bubbles...
            break;
        }
        ASSERT_TRUE(signalled);
        EXPECT_TRUE(processEventsUntil([this] { return dialog_->hasEnded(); }, 20000));
        rescue.stop();
        EXPECT_FALSE(leftOpen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        std::vector<int> commands;
        for (const wendaroTraceEntry_t& entry : server_->trace().since(mark))
            if (entry.kind == wendaroTraceEntry_t::kind_e::in_e && entry.command > 0 && entry.command != 1 &&
                entry.command != 12)
                commands.push_back(entry.command);
        EXPECT_EQ(commands, row.commands);
        EXPECT_EQ(word(trimYWord), trimY);
    }
    setMessageBoxHook({});
}

// Waits through reconnection intervals.
class MainDlgServerSlowWidget : public MainDlgServerWidget {};

TEST_F(MainDlgServerSlowWidget, IndicatorRestsWhileTheServerIsGoneAndBlinksAgainAfterItReturns)
{
    serve({{3, L"Printer 3"}});
    open(L"\"C:\\Tovrik.exe\" 3", false);
    blinkCounter_t before(*dialog_);
    ASSERT_TRUE(processEventsUntil([&] { return before.flips() >= 2; }));

    // The server goes away, as a killed server would: every connection closes.
    const int port = server_->port();
    server_->stop();
    ASSERT_TRUE(processEventsUntil([this] { return !dialog_->device()->isConnected(); }));
    // What the device posted before it saw the link go is handled first.
    QCoreApplication::processEvents();

    // Down for longer than a reconnection interval: no status, no blink.
    const int resting = dialog_->blinkIndex();
    const QImage restingImage = dialog_->controls().indicator->bitmap().toImage();
    EXPECT_FALSE(processEventsUntil([&] { return dialog_->blinkIndex() != resting; }, 3000));
    EXPECT_EQ(dialog_->controls().indicator->bitmap().toImage(), restingImage);

    // A server on the same port again: the device finds it by itself within
    // a few reconnection intervals, and the indicator blinks again.
    serve({{3, L"Printer 3"}}, port);
    ASSERT_EQ(server_->port(), port);
    ASSERT_TRUE(processEventsUntil(
        [this] {
            for (const auto& connection : server_->connections())
                if (connection.machine == 3)
                    return true;
            return false;
        },
        15000));
    blinkCounter_t after(*dialog_);
    EXPECT_TRUE(processEventsUntil([&] { return after.flips() >= 2; }, 15000));
    EXPECT_TRUE(dialog_->device()->isConnected());
}

// The end of the window in each state of the link: once the destroy step
// has run, the device thread, the socket threads and anything they started
// are gone (the server's own workers stay until it stops and are not
// counted).
TEST_F(MainDlgServerWidget, EndingTheWindowLeavesNoThreadInAnyStateOfTheLink)
{
    enum class moment_e { connected_e, serverAbsent_e, greetingUnanswered_e, replyPending_e };
    struct moment_t {
        const char* name;
        moment_e moment;
    };
    const moment_t moments[] = {
        {"connected", moment_e::connected_e},
        {"server absent", moment_e::serverAbsent_e},
        {"greeting unanswered", moment_e::greetingUnanswered_e},
        {"reply pending", moment_e::replyPending_e},
    };
    for (const moment_t& moment : moments) {
        SCOPED_TRACE(moment.name);
        server_.reset();
        if (moment.moment != moment_e::serverAbsent_e)
            serve({{3, L"Printer 3"}});
        const auto ownThreads = [this] { return threadCount() - (server_ ? server_->workerCount() : 0); };
        const int baseline = ownThreads();

        int rule = 0;
        if (moment.moment == moment_e::greetingUnanswered_e) {
            wendaroFaultRule_t silent;
            silent.word = L"BrevanquillorMachinesServer";
            silent.times = -1;
            rule = server_->faults().add(silent);
        } else if (moment.moment == moment_e::replyPending_e) {
            wendaroFaultRule_t silent;
            silent.word = L"CMND";
            silent.times = -1;
            rule = server_->faults().add(silent);
        }
        open(L"\"C:\\Tovrik.exe\" 3", false);
        ASSERT_TRUE(dialog_->device()->isRunning());
        switch (moment.moment) {
        case moment_e::connected_e:
            ASSERT_TRUE(processEventsUntil([this] { return title() == L"Printer 3 - Tovrik"; }));
            break;
        case moment_e::serverAbsent_e:
            break;
        case moment_e::greetingUnanswered_e:
        case moment_e::replyPending_e:
            ASSERT_TRUE(processEventsUntil([&] { return server_->faults().actedCount(rule) >= 1; }));
            break;
        }

        // The device thread at least runs now.
        EXPECT_GT(ownThreads(), baseline);
        dialog_->endDialog(IDCANCEL);
        dialog_.reset();
        EXPECT_TRUE(processEventsUntil([&] { return ownThreads() == baseline; }, 5000))
            << ownThreads() << " threads, " << baseline << " before";
    }
}

}  // namespace
