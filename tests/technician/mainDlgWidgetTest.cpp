// The main dialog driven by notifications posted as its device posts them,
// over a device that records what the dialog sends. The device thread runs
// but finds no server (its port is closed), so nothing answers.
#include "link/currentClientDevice.h"
#include "machine/globalNames.h"
#include "machine/machineHostIDname.h"
#include "machine/programUtils.h"
#include "machine/qt/dialogFunctions.h"
#include "platform/process.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/ticks.h"
#include "platform/windowTable.h"
#include "procedures/batches/calibrateZabsZero.h"
#include "technician/controls/heldCheckBox.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/tabCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/mainDlg.h"
#include "technician/pageIds.h"
#include "technician/pages/installationDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int machineFlagsWord = 120;

std::wstring ownProgram()
{
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    return program;
}

std::vector<int> only(const std::vector<int>& codes, std::initializer_list<int> wanted)
{
    std::vector<int> kept;
    for (const int code : codes)
        if (std::find(wanted.begin(), wanted.end(), code) != wanted.end())
            kept.push_back(code);
    return kept;
}

class MainDlgWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& commandLine) {
            std::lock_guard<std::mutex> guard(startsLock_);
            starts_.push_back(commandLine);
            return true;
        });
        mainDlg_t::setDeviceFactory(
            [](sharedLock_t& lock) -> qvrClientDev_t* { return new testClientDev_t(HWND(0), lock); });
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    void TearDown() override
    {
        dialog_.reset();
        mainDlg_t::setDeviceFactory({});
        setLauncherHook({});
        ticksForTests::setAutomatic();
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    mainDlg_t& open(bool iFlag = false)
    {
        dialog_ = std::make_unique<mainDlg_t>(iFlag);
        // An empty host is the local computer.
        dialog_->setServer(L"", port_);
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
        return *dialog_;
    }

    testClientDev_t& device() { return *static_cast<testClientDev_t*>(dialog_->device()); }

    // Posts as the device posts, then lets the dialog handle it.
    void notify(int code)
    {
        ASSERT_TRUE(postMessage(dialog_->hwnd(), basicComm_t::notifyMessageNumber, static_cast<WPARAM>(code),
                                reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(dialog_->device()))));
        QCoreApplication::processEvents();
    }

    std::wstring title() const { return dialog_->windowTitle().toStdWString(); }
    QImage indicatorImage() const { return dialog_->controls().indicator->bitmap().toImage(); }

    std::vector<std::wstring> starts()
    {
        std::lock_guard<std::mutex> guard(startsLock_);
        return starts_;
    }

    std::unique_ptr<mainDlg_t> dialog_;
    const int port_ = closedPort();
    std::mutex startsLock_;
    std::vector<std::wstring> starts_;
};

TEST_F(MainDlgWidget, StartsConnectedToTheServerAndTheDriver)
{
    mainDlg_t& dialog = open();
    EXPECT_EQ(getCurrentClientDevice(), dialog.device());
    EXPECT_EQ(device().getPort(), port_);
    EXPECT_EQ(mainDlg_t::serverPort, 8722);
    EXPECT_EQ(device().getHost(), L"localhost");
    EXPECT_EQ(device().getRequestedMachineID(), 0);
    // The device thread makes the socket, with control access.
    EXPECT_TRUE(waitUntil([this] { return device().hasControlAccess(); }));
    EXPECT_TRUE(dialog.isTimerRunning());
    EXPECT_EQ(title(), L"Tovrik");
    ASSERT_EQ(starts().size(), 1u);
    EXPECT_EQ(starts()[0], buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L""));
    EXPECT_EQ(indicatorImage(), loadBitmapResource(134).toImage());
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.controls().temperature->palette().color(QPalette::Base), colorrefToColor(0xe0ffff));
    // The application's bold font is the label's font, bold.
    EXPECT_TRUE(tovrikApp().boldFont().bold());
    EXPECT_EQ(tovrikApp().boldFont().family(), dialog.controls().communicationLabel->font().family());
}

TEST_F(MainDlgWidget, IndicatorBlinksFrom133To134)
{
    open();
    const QImage lit = loadBitmapResource(133).toImage();
    const QImage dark = loadBitmapResource(134).toImage();
    ASSERT_NE(lit, dark);
    notify(111);
    EXPECT_EQ(indicatorImage(), lit);
    notify(111);
    EXPECT_EQ(indicatorImage(), dark);
    notify(111);
    EXPECT_EQ(indicatorImage(), lit);
}

TEST_F(MainDlgWidget, TitleIsSetOnceUntilTheMachineChanges)
{
    for (const wchar_t* program : {L"\"C:\\Tovrik.exe\"", L"\"C:\\bin\\MeRoLt-2.exe\""}) {
        tovrikApp().readCommandLine(program);
        const std::wstring edition = tovrikApp().edition();
        open();
        EXPECT_EQ(title(), edition);
        device().setMachineName(L"Printer 7");
        notify(111);
        EXPECT_EQ(title(), L"Printer 7 - " + edition);
        device().setMachineName(L"Renamed");
        notify(111);
        EXPECT_EQ(title(), L"Printer 7 - " + edition);
        notify(151);
        EXPECT_EQ(title(), L"Printer 7 - " + edition);
        notify(111);
        EXPECT_EQ(title(), L"Renamed - " + edition);
    }
}

struct heldStateCase_t {
    std::vector<int> states;  // one status each
    std::vector<int> sent;    // commands 4 and 132 that follow
};

class MainDlgHeldStatesWidget : public MainDlgWidget, public ::testing::WithParamInterface<heldStateCase_t> {};

TEST_P(MainDlgHeldStatesWidget, ReleasesTheMachineAtConnection)
{
    open();
    for (const int state : GetParam().states) {
        device().setMachineState(state);
        notify(111);
    }
    EXPECT_EQ(only(device().codes(), {4, 132}), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MainDlgHeldStatesWidget,
    ::testing::Values(heldStateCase_t{{5, 5}, {4}}, heldStateCase_t{{7, 7}, {4}}, heldStateCase_t{{2, 7}, {}},
                      heldStateCase_t{{6, 6, 6, 7, 7}, {132, 4}}, heldStateCase_t{{6, 3, 7}, {132}},
                      heldStateCase_t{{0, 6, 7}, {}}, heldStateCase_t{{1}, {}}));

TEST_F(MainDlgWidget, TemperatureShowsNAOrDegrees)
{
    open();
    const std::vector<std::pair<int, std::wstring>> cases = {
        {255, L"N/A"}, {37, L"37\u00b0"}, {0, L"0\u00b0"}, {254, L"254\u00b0"}};
    for (const auto& [value, text] : cases) {
        device().setTemperature(value);
        notify(143);
        EXPECT_EQ(dialog_->temperatureText(), text);
        EXPECT_EQ(dialog_->controls().temperature->text().toStdWString(), text);
    }
}

TEST_F(MainDlgWidget, OpenDoorModeBoxFollowsMachineFlags)
{
    open();
    heldCheckBox_t* box = dialog_->controls().openDoorMode;
    const std::vector<std::pair<std::int32_t, Qt::CheckState>> cases = {
        {0x5, Qt::Checked}, {0x1, Qt::PartiallyChecked}, {0x4, Qt::PartiallyChecked}, {0xA0A0, Qt::Unchecked}};
    for (const auto& [flags, state] : cases) {
        device().setParameterWord(machineFlagsWord, flags);
        tovrikApp().refreshMainWindow();
        EXPECT_EQ(box->checkState(), state) << flags;
    }
    // A click sets or clears both bits and sends the parameter; the box
    // shows what the parameter says, not what Qt's click would make.
    device().setParameterWord(machineFlagsWord, 0xA0A0);
    tovrikApp().refreshMainWindow();
    box->click();
    std::int32_t memory[1024];
    device().getParameterMemory(memory);
    EXPECT_EQ(memory[machineFlagsWord], 0xA0A5);
    EXPECT_EQ(box->checkState(), Qt::Checked);
    device().setParameterWord(machineFlagsWord, 0xA0A1);
    tovrikApp().refreshMainWindow();
    box->click();
    device().getParameterMemory(memory);
    EXPECT_EQ(memory[machineFlagsWord], 0xA0A0);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_EQ(only(device().codes(), {3}), (std::vector<int>{3, 3}));
}

TEST_F(MainDlgWidget, ClosingInOpenDoorModeSends19OnceAndEndsOnTheReply)
{
    open();
    device().setParameterWord(machineFlagsWord, 0x85);
    dialog_->onCancel();
    EXPECT_TRUE(dialog_->isClosing());
    EXPECT_FALSE(dialog_->hasEnded());
    EXPECT_EQ(title(), L"Closing, Please Wait...");
    // Esc and the close box while closing change nothing.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog_.get(), &escape);
    dialog_->close();
    dialog_->onCancel();
    EXPECT_EQ(only(device().codes(), {3, 19}), (std::vector<int>{3, 19}));
    std::int32_t memory[1024];
    device().getParameterMemory(memory);
    EXPECT_EQ(memory[machineFlagsWord], 0x80);
    EXPECT_FALSE(dialog_->hasEnded());

    notify(141);
    EXPECT_TRUE(dialog_->hasEnded());
    EXPECT_EQ(dialog_->result(), IDCANCEL);
}

TEST_F(MainDlgWidget, ClosingWithoutReplyEndsAtTheFirstTickAfter20Seconds)
{
    // Just before the tick count wraps: the difference stays right.
    ticksForTests::setManual(0xFFFFF000u);
    open();
    device().setParameterWord(machineFlagsWord, 0x4);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog_.get(), &escape);
    ASSERT_TRUE(dialog_->isClosing());
    for (int tick = 1; tick <= 2; ++tick) {
        ticksForTests::advance(10000);
        dialog_->onTimer(mainDlg_t::refreshTimerId);
        EXPECT_FALSE(dialog_->hasEnded()) << tick * 10 << " s";
    }
    ticksForTests::advance(10000);
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    EXPECT_TRUE(dialog_->hasEnded());
    EXPECT_EQ(only(device().codes(), {19}), (std::vector<int>{19}));
}

TEST_F(MainDlgWidget, ClosingEndsAtOnceWithIFlagOrWithoutOpenDoorMode)
{
    struct closeCase_t {
        bool iFlag;
        std::int32_t flags;
    };
    for (const closeCase_t c : {closeCase_t{true, 0x5}, closeCase_t{true, 0x1}, closeCase_t{false, 0x0},
                                closeCase_t{false, 0xA0A0}}) {
        open(c.iFlag);
        device().setParameterWord(machineFlagsWord, c.flags);
        dialog_->close();
        EXPECT_TRUE(dialog_->hasEnded()) << c.iFlag << " " << c.flags;
        EXPECT_FALSE(dialog_->isClosing());
        EXPECT_TRUE(only(device().codes(), {3, 19}).empty());
        std::int32_t memory[1024];
        device().getParameterMemory(memory);
        EXPECT_EQ(memory[machineFlagsWord], c.flags);
    }
}

TEST_F(MainDlgWidget, EnterAndAStatusReplyDoNotClose)
{
    open();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog_.get(), &enter);
    dialog_->accept();
    // It is the running procedure's signal that its command 19 was answered.
    calibrateZabsZero_t procedure;
    baseStaticBatch_t::setCurrent(&procedure);
    notify(141);
    EXPECT_TRUE(procedure.secondEvent().isSet());
    dialog_->onTimer(mainDlg_t::refreshTimerId);
    EXPECT_FALSE(dialog_->hasEnded());
}

// A lost link (119) and the 10-second timer recolour the lamps at once: no
// status comes after the link is lost. The lamp is hidden, so nothing but
// the dialog repaints it.
TEST_F(MainDlgWidget, LostLinkAndTheTimerRecolourTheLamps)
{
    open();
    sensorCtrl_t lamp;
    lamp.attach(0x80, L"J30");
    const std::function<void()> routes[] = {[this] { notify(119); },
                                            [this] { dialog_->onTimer(mainDlg_t::refreshTimerId); }};
    for (const auto& route : routes) {
        device().setSensorWord(0x80);
        ASSERT_TRUE(waitUntil([&] {
            device().setLinkUp(true);
            sensorCtrl_t::invalidateAll();
            return lamp.shownState() == sensorCtrl_t::lit_e;
        }));
        device().setLinkUp(false);
        route();
        EXPECT_EQ(lamp.shownState(), sensorCtrl_t::unknown_e);
    }
}

struct instancesCase_t {
    const wchar_t* commandLine;
    bool iFlag;
    std::vector<std::int32_t> ids;        // the server's machine list
    std::vector<std::wstring> arguments;  // of the instances started
};

class MainDlgInstancesWidget : public MainDlgWidget, public ::testing::WithParamInterface<instancesCase_t> {};

TEST_P(MainDlgInstancesWidget, StartsOneInstancePerFurtherMachineOnce)
{
    tovrikApp().readCommandLine(GetParam().commandLine);
    open(GetParam().iFlag);
    std::vector<machineHostIDname_t> machines;
    for (const std::int32_t id : GetParam().ids)
        machines.emplace_back(L"localhost", id, L"Printer", 0, 0);
    device().setServerMachines(machines);
    notify(131);
    notify(131);
    std::vector<std::wstring> expected{buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L"")};
    for (const std::wstring& arguments : GetParam().arguments)
        expected.push_back(buildCommandLine(ownProgram(), arguments));
    EXPECT_EQ(starts(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    ServerLists, MainDlgInstancesWidget,
    ::testing::Values(instancesCase_t{L"\"C:\\Tovrik.exe\" /I", true, {3, 12, 14}, {L"/I 12", L"/I 14"}},
                      instancesCase_t{L"\"C:\\Tovrik.exe\"", false, {3, 12, 14}, {L"12", L"14"}},
                      instancesCase_t{L"\"C:\\Tovrik.exe\" 3", false, {3, 12, 14}, {}},
                      instancesCase_t{L"\"C:\\Tovrik.exe\"", false, {3}, {}},
                      // An instance without a machine number would start all
                      // of them again.
                      instancesCase_t{L"\"C:\\Tovrik.exe\"", false, {3, 0, 12, -5}, {L"12"}}));

TEST_F(MainDlgWidget, TabsShowTheirPagesAndTroubleshootingKeepsTheTab)
{
    open();
    tabCtrl_t* tabs = dialog_->controls().tabs;
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabBar()->tabText(0), QStringLiteral("Software && Parameters"));
    EXPECT_EQ(tabs->tabBar()->tabText(2), QStringLiteral("Troubleshooting"));
    const int ids[] = {pageId::softwareAndParameters, pageId::operations, 0, pageId::printerLogs};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dialog_->pageId(i), ids[i]);
        QWidget* page = dialog_->page(i);
        if (ids[i] == 0) {
            EXPECT_EQ(page, nullptr);
            continue;
        }
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(dialogId(page), ids[i]);
        EXPECT_EQ(page->parentWidget(), tabs);
        EXPECT_EQ(page->geometry(), QRect(5, 30, 690, 440));
        EXPECT_EQ(page->isHidden(), i != 0);
    }
    EXPECT_EQ(dlgItem(dialog_.get(), 1005), tabs);

    device().clearSent();
    tabs->tabBar()->setCurrentIndex(1);
    EXPECT_EQ(dialog_->currentTab(), 1);
    EXPECT_EQ(device().codes(), (std::vector<int>{1, 12}));
    EXPECT_FALSE(dialog_->page(1)->isHidden());
    EXPECT_TRUE(dialog_->page(0)->isHidden());
    // The Operations page answers with its inner page on screen.
    EXPECT_EQ(dialog_->currentHelpPageId(), pageId::cleanAndCalibrate);

    device().clearSent();
    tabs->tabBar()->setCurrentIndex(2);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(dialog_->currentTab(), 1);
    EXPECT_TRUE(device().codes().empty());
    EXPECT_FALSE(dialog_->page(1)->isHidden());

    tabs->tabBar()->setCurrentIndex(3);
    EXPECT_FALSE(dialog_->page(3)->isHidden());
    EXPECT_TRUE(dialog_->page(1)->isHidden());
    EXPECT_EQ(dialog_->currentHelpPageId(), pageId::printerLogs);
}

TEST_F(MainDlgWidget, OperationsPageTakesStatusMachineInformationKeysAndHelp)
{
    open();
    operationsDlg_t* operations = dialog_->operationsPage();
    ASSERT_NE(operations, nullptr);
    EXPECT_EQ(dialog_->page(1), operations);
    dialog_->controls().tabs->tabBar()->setCurrentIndex(1);
    const std::pair<int, int> topics[] = {{3, pageId::motors}, {4, pageId::build}, {2, pageId::processes}};
    for (const auto& [innerTab, pageId] : topics) {
        operations->innerTabs()->tabBar()->setCurrentIndex(innerTab);
        EXPECT_EQ(dialog_->currentHelpPageId(), pageId);
    }

    // Each axis in its own step size: 1000 steps of 21892 nm on X, of
    // 22841 nm on Y ("Y Step Size", word 65).
    QWidget* motors = operations->page(3);
    device().setParameterWord(65, 22841);
    device().setHeadSteps(1000, 1000);
    notify(111);
    EXPECT_EQ(windowText(dlgItem(motors, 1041)), L"21.89");
    EXPECT_EQ(windowText(dlgItem(motors, 1042)), L"22.84");
    notify(143);
    EXPECT_EQ(windowText(dlgItem(motors, 1101)), L"Cutting Knife");

    // Enter and Esc on a page close neither the page nor the program.
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(dlgItem(motors, 1040), &press);
        QApplication::sendEvent(operations->innerTabs(), &press);
    }
    EXPECT_FALSE(dialog_->hasEnded());
}

// Esc in the parameter editor drops the edit; Enter and Esc elsewhere on the
// Software && Parameters page do nothing; the close box still closes.
TEST_F(MainDlgWidget, SoftwarePageKeysNeverCloseTheProgram)
{
    open();
    dialog_->show();
    installationDlg_t* page = dialog_->installationPage();
    device().setEmbeddedVersion(1119);
    notify(151);
    QTreeWidget* list = page->list();
    page->onListClick(list->visualRect(list->model()->index(0, installationDlg_t::valueColumn)).center());
    ASSERT_EQ(page->editedRow(), 0);
    ASSERT_TRUE(page->editor()->isVisible());

    const std::vector<int> sentBefore = device().codes();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(page->editor(), &escape);
    EXPECT_EQ(page->editedRow(), -1);
    EXPECT_FALSE(page->editor()->isVisible());
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        for (QWidget* target : {static_cast<QWidget*>(list), dlgItem(page, 1128), static_cast<QWidget*>(page)})
            QApplication::sendEvent(target, &press);
    }
    EXPECT_FALSE(dialog_->hasEnded());
    EXPECT_EQ(device().codes(), sentBefore);

    dialog_->close();
    EXPECT_TRUE(dialog_->hasEnded());
}

TEST_F(MainDlgWidget, DestroyStepDropsPendingNotificationsAndTheDevice)
{
    open();
    const HWND window = dialog_->hwnd();
    const LPARAM device = reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(dialog_->device()));
    ASSERT_TRUE(postMessage(window, basicComm_t::notifyMessageNumber, 111, device));
    ASSERT_TRUE(postMessage(window, basicComm_t::notifyMessageNumber, 143, device));
    dialog_->onDestroy();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog_->blinkIndex(), 0);
    EXPECT_TRUE(dialog_->temperatureText().empty());
    EXPECT_EQ(dialog_->device(), nullptr);
    EXPECT_EQ(getCurrentClientDevice(), nullptr);
    EXPECT_FALSE(dialog_->isTimerRunning());
    EXPECT_FALSE(isWindow(window));
    EXPECT_FALSE(postMessage(window, basicComm_t::notifyMessageNumber, 111, device));
    dialog_->onDestroy();  // a second time does nothing
}

TEST_F(MainDlgWidget, NotificationOfAnotherDeviceIsIgnored)
{
    open();
    testCommDev_t stranger;
    ASSERT_TRUE(postMessage(dialog_->hwnd(), basicComm_t::notifyMessageNumber, 111,
                            reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(&stranger))));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog_->blinkIndex(), 0);
    // Codes the dialog does not handle change nothing; the code is the low 16 bits.
    notify(1);
    notify(119);
    EXPECT_EQ(dialog_->blinkIndex(), 0);
    notify(0x7F0000 | 111);
    EXPECT_EQ(dialog_->blinkIndex(), 1);
}

TEST_F(MainDlgWidget, SoftwarePageFollowsTheDevice)
{
    open();
    installationDlg_t* page = dialog_->installationPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(dialog_->page(0), page);
    device().setEmbeddedVersion(1119);
    device().setHardwareRevision(1100);
    notify(151);
    EXPECT_EQ(page->rowCount(), 12);
    notify(143);
    EXPECT_EQ(getDlgItemText(page, 1008), L"E1.11.9");
    EXPECT_EQ(getDlgItemText(page, 1007), L"H1.10.0");
    EXPECT_EQ(getDlgItemText(page, 1013), L"0 hours");
    notify(111);
    EXPECT_EQ(getDlgItemText(page, 1006), L"0");

    device().setEmbeddedVersion(1120);
    ASSERT_TRUE(writeRawFile(device().getOpenedParamsPath(), "1 Lines Starting Speed\r\n"));
    notify(104);
    ASSERT_EQ(page->rowCount(), 2);
    // A listed parameter shows in the list, not in the comparison.
    device().setParameterWord(1, -4000);
    device().setParameterWord(2, 4430000);
    tovrikApp().refreshMainWindow();
    EXPECT_EQ(page->parameterRows()[0].second, L"-4000");
    const std::wstring comparison = page->comparisonText();
    EXPECT_NE(comparison.find(L"Feeder Encoder Step-Size - Current Value: 4430000, Factory Value: "),
              std::wstring::npos);
    EXPECT_EQ(comparison.find(L"Lines Starting Speed"), std::wstring::npos);
}

}  // namespace
