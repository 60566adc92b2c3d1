#include "technician/tovrikApp.h"

#include "machine/currentDevice.h"
#include "machine/fileUtils.h"
#include "machine/programUtils.h"
#include "machine/qt/stringTable.h"
#include "machine/qvrCommDev.h"
#include "platform/messageBoxHook.h"
#include "platform/process.h"
#include "platform/qt/closeModalWindows.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/endSignals.h"
#include "platform/qt/pumpingWait.h"
#include "platform/qt/qtMessageBox.h"
#include "procedures/batches/batchDialogs.h"
#include "procedures/batches/qt/batchDialogsQt.h"
#include "technician/help/helpTopics.h"
#include "technician/help/helpViewer.h"
#include "technician/mainDlg.h"
#include "technician/resourceImages.h"
#include "technician/socketsStartup.h"
#include "technician/startOptions.h"

#include <QWidget>

namespace {

constexpr unsigned socketsFailedString = 103;

}  // namespace

tovrikApp_t& tovrikApp()
{
    static tovrikApp_t app;
    return app;
}

tovrikApp_t::tovrikApp_t() : socketsCheck_(&socketsStartup) {}

tovrikApp_t::~tovrikApp_t() = default;

void tovrikApp_t::setSocketsCheck(socketsCheck_t check)
{
    socketsCheck_ = check ? std::move(check) : socketsCheck_t(&socketsStartup);
}

void tovrikApp_t::readCommandLine(const std::wstring& commandLine)
{
    const startOptions_t options = readStartOptions(commandLine);
    iFlag_ = options.iFlag;
    machineNumber_ = options.machineNumber;
    edition_ = options.edition;
    programPath_ = options.programPath;
}

void tovrikApp_t::installPlatformHooks()
{
    installQtMessageBoxHook();
    installPumpingWait();
    // The procedures' own dialogs, and the pages' refresh after a procedure
    // changed a parameter.
    installBatchDialogsQt();
    batchDialogs_t refresh;
    refresh.refreshMainWindow = [] { tovrikApp().refreshMainWindow(); };
    setBatchDialogs(refresh);
}

bool tovrikApp_t::initInstance()
{
    initTechnicianResources();
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    setApplicationName(getFileTitle(program));

    if (!socketsCheck_()) {
        showMessageBox(0, loadString(socketsFailedString), applicationName(), MB_OK);
        return false;
    }
    readCommandLine(processCommandLine());

    mainDlg_t dialog(iFlag_, nullptr);
    mainDialog_ = &dialog;
    setMainWindow(dialog.hwnd());
    dialog.doModal();
    setMainWindow(0);
    mainDialog_ = nullptr;
    return false;
}

void tovrikApp_t::closeOnEndSignal(int signal)
{
    if (mainDialog_ == nullptr || mainDialog_->isDestroyed())
        endAsSignal(signal);  // no window to close (a start-up box)
    // A window open over the main window would keep the program waiting
    // for an answer that may never come (nobody at a display under
    // xvfb-run): each closes first as its No or Cancel closes it.
    closeModalWindowsThen(mainDialog_, [] {
        mainDlg_t* dialog = tovrikApp().mainDialog();
        if (dialog != nullptr && !dialog->isDestroyed())
            dialog->close();
    });
}

bool tovrikApp_t::makeMachineReady()
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device == nullptr)
        return false;
    switch (device->getMachineState()) {
    case 1: {
        const HWND owner = mainDialog_ != nullptr ? mainDialog_->hwnd() : HWND(0);
        showMessageBox(owner, L"This machine is building a model. Pause machine first.", edition_,
                       MB_ICONEXCLAMATION);
        return false;
    }
    case 2:
        break;
    case 4:
    case 7:
        device->sendCommand(4);
        device->sendCommand(1);
        break;
    case 5:
        device->sendCommand(132);
        device->sendCommand(1);
        break;
    case 6:
        device->sendCommand(132);
        device->sendCommand(4);
        device->sendCommand(1);
        break;
    default:
        device->sendCommand(1);
        break;
    }
    return true;
}

bool tovrikApp_t::sendCommandIfReady(std::uint8_t code, std::int32_t type1, std::int32_t value1, std::int32_t type2,
                                     std::int32_t value2)
{
    if (!makeMachineReady())
        return false;
    qvrCommDev_t* device = getCurrentDevice();
    device->sendCommandArgs(code, type1, value1, type2, value2);
    device->sendCommand(1);
    device->sendCommand(12);
    return true;
}

void tovrikApp_t::refreshMainWindow()
{
    if (mainDialog_ != nullptr)
        mainDialog_->refreshPages();
}

void tovrikApp_t::makeBoldFont(QWidget* window)
{
    if (window == nullptr)
        return;
    QFont font = window->font();
    font.setWeight(QFont::Bold);  // 700
    boldFont_ = std::make_unique<QFont>(font);
}

void tovrikApp_t::setBoldFont(QWidget* dialog, int controlId)
{
    QWidget* control = dlgItem(dialog, controlId);
    if (control == nullptr)
        return;
    // A control's font is its own (a bold group box has a bold caption, not
    // bold buttons), while Qt passes a font on to the children that did not
    // set theirs: they keep the weight they have.
    for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->testAttribute(Qt::WA_SetFont))
            continue;
        QFont own = child->font();
        own.setWeight(own.weight());
        child->setFont(own);
    }
    control->setFont(boldFont());
    control->update();
}

QFont tovrikApp_t::boldFont() const
{
    if (boldFont_)
        return *boldFont_;
    QFont font;
    font.setWeight(QFont::Bold);
    return font;
}

std::wstring tovrikApp_t::helpFile() const
{
    return helpFilePath(edition_);
}

void tovrikApp_t::showHelpTopic(const std::wstring& topic)
{
    const std::wstring path = helpFile();
    if (!fileExists(path))
        return;
    helpViewer_t::instance(mainDialog_)->showTopic(path, topic);
}

void tovrikApp_t::winHelp()
{
    showHelpTopic(helpTopicForPage(mainDialog_ != nullptr ? mainDialog_->currentHelpPageId() : 0));
}
