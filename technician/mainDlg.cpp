#include "technician/mainDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/programUtils.h"
#include "machine/qt/dialogFunctions.h"
#include "machine/wstr.h"
#include "platform/process.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/ticks.h"
#include "procedures/batches/baseStaticBatch.h"
#include "technician/controls/heldCheckBox.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/tabCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/help/helpTopics.h"
#include "technician/pageIds.h"
#include "technician/pages/buildDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/pages/installationDlg.h"
#include "technician/pages/logDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/printErrorsFlag.h"
#include "technician/reports/errorReport.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTimerEvent>

namespace {

constexpr COLORREF temperatureColour = 0xe0ffff;  // light yellow
constexpr int machineFlagsIndex = 120;
constexpr std::int32_t openDoorBits = 0x1 | 0x4;  // bits 0 and 2 of "Machine Flags"

// Notification codes the main dialog handles.
enum notifyCode_e : int {
    newLog_e = 101,
    parameterBlock_e = 104,
    parametersRead_e = 108,
    status_e = 111,
    linkLost_e = 119,
    layerRecord_e = 124,
    greetingAccepted_e = 131,
    errorHistory_e = 138,
    statusReply_e = 141,
    machineInfo_e = 143,
    machineChanged_e = 151,
};

mainDlg_t::deviceFactory_t& deviceFactory()
{
    static mainDlg_t::deviceFactory_t factory;
    return factory;
}

struct serverAddress_t {
    std::wstring host;
    int port = mainDlg_t::serverPort;
};

serverAddress_t& defaultServer()
{
    static serverAddress_t server;
    return server;
}

const machineParam_t* machineFlagsParam()
{
    return findParameter(machineFlagsIndex, L"Machine Flags");
}

}  // namespace

mainDlg_t::mainDlg_t(bool iFlag, QWidget* parent)
    : qtWindow_t<QDialog>(parent), iFlag_(iFlag), temperatureBrush_(colorrefToColor(temperatureColour)),
      host_(defaultServer().host), port_(defaultServer().port)
{
    controls_ = buildMainDlgTemplate(this);
    connect(controls_.tabs, &tabCtrl_t::selectionChanged, this, &mainDlg_t::onTabChanged);
    connect(controls_.openDoorMode, &QCheckBox::clicked, this, &mainDlg_t::onOpenDoorModeClicked);
    // F1: the topic of the page on screen.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [] { tovrikApp().winHelp(); });

    // The device takes its own copy of the lock; this one goes with the constructor.
    sharedLock_t lock;
    device_ = deviceFactory() ? deviceFactory()(lock) : new qvrClientDev_t(0, lock);
    setCurrentClientDevice(device_);
}

void mainDlg_t::setDeviceFactory(deviceFactory_t factory)
{
    deviceFactory() = std::move(factory);
}

mainDlg_t::~mainDlg_t()
{
    onDestroy();
    if (tovrikApp().mainDialog() == this)
        tovrikApp().setMainDialog(nullptr);
}

void mainDlg_t::setServer(const std::wstring& host, int port)
{
    host_ = host;
    port_ = port;
}

void mainDlg_t::setDefaultServer(const std::wstring& host, int port)
{
    defaultServer() = serverAddress_t{host, port};
}

bool mainDlg_t::onInitDialog()
{
    if (initialised_)
        return true;
    initialised_ = true;
    tovrikApp().makeBoldFont(controls_.communicationLabel);

    icon_ = loadIconResource(128);
    setWindowIcon(icon_);
    bitmaps_[0] = loadBitmapResource(134);
    bitmaps_[1] = loadBitmapResource(133);
    controls_.indicator->setBitmap(bitmaps_[0]);
    ctlColorBrush(controls_.temperature, temperatureBrush_);

    addTabPage(0, L"Software && Parameters", pageId::softwareAndParameters);
    addTabPage(1, L"Operations", pageId::operations);
    addTabPage(2, L"Troubleshooting", 0);
    addTabPage(3, L"Printer Logs", pageId::printerLogs);
    controls_.tabs->setCurrentIndexQuietly(0);
    showPage(0);

    if (device_ != nullptr) {
        {
            lockGuard_t guard(device_->getLock());
            device_->setOwnerWindow(hwnd());
        }
        device_->connect(host_, tovrikApp().machineNumber(), true, port_);
    }
    qtTimerId_ = startTimer(refreshTimerMs);
    // The USB driver program; that it did not start is not reported.
    runProgram(getSlicerFolder() + L"/Wendaro.EXE", L"", true);
    setWindowTitle(QString::fromStdWString(tovrikApp().edition()));
    return true;
}

int mainDlg_t::doModal()
{
    onInitDialog();
    if (!ended_)
        exec();
    onDestroy();
    return result();
}

void mainDlg_t::onDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    // First out of the window table: nothing posted from now on, nor what
    // still waits in the event queue, reaches a handler.
    destroyWindow();
    if (qtTimerId_ != 0) {
        killTimer(qtTimerId_);
        qtTimerId_ = 0;
    }
    if (device_ != nullptr) {
        device_->stop();
        // Cleared before the deletion, so that no thread finds a pointer to
        // a device being deleted.
        if (getCurrentClientDevice() == device_)
            setCurrentClientDevice(nullptr);
        delete device_;
        device_ = nullptr;
    }
}

void mainDlg_t::addTabPage(int index, const wchar_t* caption, int dialogId)
{
    controls_.tabs->insertItem(index, QString::fromWCharArray(caption));
    if (index < 0 || index >= tabCount)
        return;
    if (dialogId == 0) {
        pages_[index] = nullptr;
        pageIds_[index] = 0;
        return;
    }
    QWidget* page = nullptr;
    if (dialogId == pageId::softwareAndParameters) {
        page = installation_ = new installationDlg_t(controls_.tabs);
    } else if (dialogId == pageId::operations) {
        operations_ = new operationsDlg_t(controls_.tabs);
        operations_->onInitDialog();
        page = operations_;
    } else if (dialogId == pageId::printerLogs) {
        page = logs_ = new logDlg_t(controls_.tabs);
    } else {
        page = new QWidget(controls_.tabs);
    }
    setDialogId(page, dialogId);
    page->setFixedSize(mainDlgLayout::pageWidth, mainDlgLayout::pageHeight);
    page->move(mainDlgLayout::pageLeft, mainDlgLayout::pageTop);
    page->hide();
    pages_[index] = page;
    pageIds_[index] = dialogId;
}

void mainDlg_t::showPage(int index)
{
    for (int i = 0; i < tabCount; ++i) {
        if (pages_[i] != nullptr)
            pages_[i]->setVisible(i == index);
    }
}

QWidget* mainDlg_t::page(int tabIndex) const
{
    return tabIndex >= 0 && tabIndex < tabCount ? pages_[tabIndex] : nullptr;
}

int mainDlg_t::pageId(int tabIndex) const
{
    return tabIndex >= 0 && tabIndex < tabCount ? pageIds_[tabIndex] : 0;
}

int mainDlg_t::currentHelpPageId() const
{
    // On the Operations page, the inner page on screen.
    if (operations_ != nullptr && page(currentTab_) == operations_)
        return operations_->currentPageId();
    return pageId(currentTab_);
}

// --- notifications ------------------------------------------------------------

void mainDlg_t::onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (message == basicComm_t::notifyMessageNumber)
        onDeviceNotify(wParam, lParam);
}

void mainDlg_t::onDeviceNotify(WPARAM wParam, LPARAM lParam)
{
    // Only notifications of this dialog's own device, while it is the
    // current one; a stale one (its device gone) is dropped.
    if (device_ == nullptr || getCurrentClientDevice() != device_ ||
        reinterpret_cast<basicComm_t*>(lParam) != static_cast<basicComm_t*>(device_))
        return;
    switch (static_cast<int>(wParam & 0xFFFF)) {
    case newLog_e:
        if (logs_ != nullptr)
            logs_->onNewLog();
        break;
    case parameterBlock_e:
        if (installation_ != nullptr)
            installation_->fillParameterList();
        tovrikApp().refreshMainWindow();
        break;
    case parametersRead_e:
        onParametersRead();
        break;
    case status_e:
        onConnectionStatus();
        break;
    case linkLost_e:
        // No status comes after a lost link: the lamps go back to their
        // default colours now rather than keep the last machine state.
        sensorCtrl_t::invalidateAll();
        break;
    case layerRecord_e:
        if (operations_ != nullptr)
            operations_->onNewLayerRecord();
        if (logs_ != nullptr)
            logs_->onNewLayerRecord();
        break;
    case greetingAccepted_e:
        startOtherMachineInstances();
        break;
    case errorHistory_e:
        printErrorReport();
        break;
    case statusReply_e:
        onCloseAcknowledged();
        break;
    case machineInfo_e:
        showTemperature();
        break;
    case machineChanged_e:
        onCurrentMachineChanged();
        break;
    default:
        break;
    }
}

void mainDlg_t::onConnectionStatus()
{
    blinkIndex_ = 1 - blinkIndex_;
    controls_.indicator->setBitmap(bitmaps_[static_cast<std::size_t>(blinkIndex_)]);
    if (installation_ != nullptr)
        installation_->showMachineID();

    if (operations_ != nullptr)
        operations_->onStatus();
    device_->requestLayerRecords(10);

    const machineStatus_t status = device_->getStatus();
    if (status.errorNumber() == 0) {
        errorLogWanted_ = true;
    } else if (errorLogWanted_) {
        errorLogWanted_ = false;
        device_->requestErrorHistory();
    }

    const std::int32_t state = device_->getMachineState();
    if (titlePending_) {
        titlePending_ = false;
        setWindowTitle(QString::fromStdWString(device_->getMachineName() + L" - " + tovrikApp().edition()));
        if (state == 5 || state == 7) {
            device_->sendCommand(4);
        } else if (state == 6) {
            device_->sendCommand(132);
            releasePending_ = true;
        }
    } else if (releasePending_) {
        if (state == 7) {
            device_->sendCommand(4);
            releasePending_ = false;
        } else if (state != 6) {
            releasePending_ = false;
        }
    }
}

void mainDlg_t::onCurrentMachineChanged()
{
    errorLogWanted_ = true;
    titlePending_ = true;
    releasePending_ = false;
    if (installation_ != nullptr)
        installation_->fillParameterList();
    if (logs_ != nullptr)
        logs_->reloadView();
    if (operations_ != nullptr && operations_->buildPage() != nullptr)
        operations_->buildPage()->resetStatistics();
    refreshPages();
    device_->requestParameterChunk(0);
}

void mainDlg_t::printErrorReport()
{
    // Only an error met while building is worth paper, and only when the
    // technician asked for it on the logs page.
    constexpr std::uint32_t buildingFlag = 0x200;
    if (!device_->getStatus().hasFlag(buildingFlag) || !printErrorsAutomatically())
        return;
    const errorHistory_t record = device_->getErrorHistory();
    const machineStatus_t status = device_->getStatus();
    if (status.errorNumber() == 0)
        return;
    errorReportTexts_t texts;
    texts.errorText = device_->getMessageText(record.messageCode);
    if (texts.errorText == L"Unknown")
        return;
    texts.machineNumber = status.machineID();
    texts.description = record.description;
    texts.modelName = record.modelName();
    texts.layerNumber = record.layerNumber;
    printErrorDetails(texts);
}

void mainDlg_t::onParametersRead()
{
    device_->storeMachineParameters(nullptr);
    // The opened-parameters file has just been rewritten from the machine.
    if (installation_ != nullptr)
        installation_->fillParameterList();
    tovrikApp().refreshMainWindow();
}

void mainDlg_t::showTemperature()
{
    const machineInfo_t info = device_->getMachineInfo();
    const int temperature = info.temperature();
    if (temperature == 255)
        temperatureText_ = L"N/A";
    else
        temperatureText_ = wstr_t() << temperature << L"\u00b0";
    controls_.temperature->setText(QString::fromStdWString(temperatureText_));
    if (installation_ != nullptr)
        installation_->showVersions();
    if (operations_ != nullptr)
        operations_->onMachineInfo();
}

void mainDlg_t::startOtherMachineInstances()
{
    if (!otherInstancesPending_)
        return;
    otherInstancesPending_ = false;
    if (tovrikApp().machineNumber() != 0)
        return;
    const std::vector<machineHostIDname_t> machines = device_->getServerMachines();
    if (machines.size() <= 1)
        return;
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    for (std::size_t i = 1; i < machines.size(); ++i) {
        // An instance started without a machine number would start these
        // same instances again on its own greeting, without end.
        if (machines[i].machineID <= 0)
            continue;
        wstr_t arguments;
        if (iFlag_)
            arguments << L"/I ";
        arguments << machines[i].machineID;
        runProgram(program, arguments, true);
    }
}

void mainDlg_t::onCloseAcknowledged()
{
    if (closing_) {
        endDialog(IDCANCEL);
        return;
    }
    // The running procedure's second event: the trim calibration waits for
    // this reply to its command 19.
    if (baseStaticBatch_t* procedure = baseStaticBatch_t::current())
        procedure->secondEvent().set();
}

// --- Open Door mode -----------------------------------------------------------

void mainDlg_t::refreshPages()
{
    showOpenDoorMode();
    if (installation_ != nullptr)
        installation_->buildComparisonText();
    if (operations_ != nullptr && operations_->calibratePage() != nullptr)
        operations_->calibratePage()->showDz();
}

void mainDlg_t::showOpenDoorMode()
{
    const machineParam_t* flags = machineFlagsParam();
    if (device_ == nullptr || flags == nullptr)
        return;
    const std::int32_t value = device_->getParamValue(*flags) & openDoorBits;
    Qt::CheckState state = Qt::PartiallyChecked;
    if (value == openDoorBits)
        state = Qt::Checked;
    else if (value == 0)
        state = Qt::Unchecked;
    controls_.openDoorMode->setCheckState(state);
}

void mainDlg_t::onOpenDoorModeClicked()
{
    const machineParam_t* flags = machineFlagsParam();
    if (device_ == nullptr || flags == nullptr)
        return;
    std::int32_t value = device_->getParamValue(*flags);
    if (controls_.openDoorMode->checkState() != Qt::Unchecked)
        value &= ~openDoorBits;
    else
        value |= openDoorBits;
    device_->setParameter(*flags, value, false);
    showOpenDoorMode();
}

// --- tabs -------------------------------------------------------------------------

void mainDlg_t::onTabChanged(int index)
{
    if (index == troubleshootingTab) {
        tovrikApp().showHelpTopic(troubleshootingTopic);
        controls_.tabs->setCurrentIndexQuietly(currentTab_);
        return;
    }
    if (index < 0 || index >= tabCount)
        return;
    currentTab_ = index;
    if (device_ != nullptr) {
        device_->sendCommand(1);
        device_->sendCommand(12);
    }
    showPage(index);
    if (index == logsTab && logs_ != nullptr)
        logs_->onShown();
}

// --- timer and closing ----------------------------------------------------------

void mainDlg_t::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == qtTimerId_ && qtTimerId_ != 0)
        onTimer(refreshTimerId);
    else
        QDialog::timerEvent(event);
}

void mainDlg_t::onTimer(int timerId)
{
    if (timerId != refreshTimerId)
        return;
    // Also catches a link lost without its notification.
    sensorCtrl_t::invalidateAll();
    if (logs_ != nullptr)
        logs_->refresh();
    // Wraps harmlessly: the difference is taken unsigned.
    if (closing_ && tickCount() - closeStart_ > closeFallbackMs)
        endDialog(IDCANCEL);
}

void mainDlg_t::onCancel()
{
    if (closing_ || ended_)
        return;
    const machineParam_t* flags = machineFlagsParam();
    if (!iFlag_ && device_ != nullptr && flags != nullptr) {
        const std::int32_t value = device_->getParamValue(*flags);
        if ((value & openDoorBits) != 0) {
            device_->setParameter(*flags, value & ~openDoorBits, false);
            device_->sendCommand(19);
            closing_ = true;
            closeStart_ = tickCount();
            setWindowTitle(QStringLiteral("Closing, Please Wait..."));
            return;
        }
    }
    endDialog(IDCANCEL);
}

void mainDlg_t::endDialog(int code)
{
    if (ended_)
        return;
    ended_ = true;
    done(code);
}

void mainDlg_t::reject()
{
    onCancel();
}

void mainDlg_t::accept()
{
}

void mainDlg_t::closeEvent(QCloseEvent* event)
{
    if (ended_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    onCancel();
}
