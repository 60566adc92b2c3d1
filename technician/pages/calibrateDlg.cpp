#include "technician/pages/calibrateDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "machine/messageBox.h"
#include "platform/qt/dlgItem.h"
#include "platform/winConstants.h"
#include "procedures/batches/calibrateToolsBatch.h"
#include "procedures/batches/calibrateTrimBatch.h"
#include "procedures/batches/calibrateZabsZero.h"
#include "procedures/batches/cleanBubblesBatch.h"
#include "procedures/batches/fillEmptyGlueSystemBatch.h"
#include "technician/mainDlg.h"
#include "technician/pages/calibrateFeederEncoders.h"
#include "technician/pages/installationDlg.h"
#include "technician/procedureStarter.h"
#include "technician/tovrikApp.h"
#include "ui_calibrateDlg.h"

#include <QPushButton>

namespace {

std::wstring fixed3(double value)
{
    return QString::number(value, 'f', 3).toStdWString();
}

}  // namespace

calibrateDlg_t::calibrateDlg_t(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::calibrateDlgTemplate>())
{
    // A page inside the Operations page's tab, not a window of its own.
    setWindowFlags(Qt::Widget);
    ui_->setupUi(this);
    setFixedSize(size());
    const std::pair<QPushButton*, void (calibrateDlg_t::*)()> buttons[] = {
        {ui_->initializeMachine, &calibrateDlg_t::onInitializeMachine},
        {ui_->calibratePens, &calibrateDlg_t::onCalibratePens},
        {ui_->calibrateTrim, &calibrateDlg_t::onCalibrateTrim},
        {ui_->calibrateZabsZero, &calibrateDlg_t::onCalibrateZabsZero},
        {ui_->calibrateDz, &calibrateDlg_t::onCalibrateDz},
        {ui_->startCalibration, &calibrateDlg_t::onStartCalibration},
        {ui_->stopCalibration, &calibrateDlg_t::onStopCalibration},
        {ui_->calibrateFeederEncoders, &calibrateDlg_t::onCalibrateFeederEncoders},
        {ui_->initGlueSystem, &calibrateDlg_t::onInitGlueSystem},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    for (QPushButton* button : {ui_->cleanBubbles, ui_->fastCleanBubbles, ui_->longCleanBubbles}) {
        const int id = ctrlId(button);
        connect(button, &QPushButton::clicked, this, [this, id] { onCleanBubbles(id); });
    }
}

calibrateDlg_t::~calibrateDlg_t() = default;

bool calibrateDlg_t::onInitDialog()
{
    for (int id : {calibrateDlgId::activationGroup, calibrateDlgId::dzGroup, calibrateDlgId::currentLayer,
                   calibrateDlgId::dzValue, calibrateDlgId::lastThickness})
        tovrikApp().setBoldFont(this, id);
    group_ = {calibrateDlgId::startCalibration, calibrateDlgId::stopCalibration};
    initialised_ = true;
    showDz();
    setGroup(false);
    return true;
}

std::wstring calibrateDlg_t::controlText(int id) const
{
    return windowText(dlgItem(this, id));
}

void calibrateDlg_t::showDz()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    const machineParam_t* dz = findParameter(115, L"DZ Sensor-To-Iron");
    if (!initialised_ || device == nullptr || dz == nullptr)
        return;
    setWindowText(dlgItem(this, calibrateDlgId::dzValue), fixed3(device->getParamValue(*dz) * 0.000001));
}

void calibrateDlg_t::setGroup(bool enabled)
{
    for (int id : group_) {
        if (QWidget* control = dlgItem(this, id))
            control->setEnabled(enabled);
    }
    setWindowText(dlgItem(this, calibrateDlgId::currentLayer), L"");
    setWindowText(dlgItem(this, calibrateDlgId::lastThickness), L"");
    update();
}

void calibrateDlg_t::onStatus()
{
    calibrator_.checkAborted();
}

void calibrateDlg_t::onNewLayer()
{
    if (!calibrator_.onLayer())
        return;
    setWindowText(dlgItem(this, calibrateDlgId::lastThickness), fixed3(calibrator_.thickness() * 0.001));
    setWindowText(dlgItem(this, calibrateDlgId::currentLayer), std::to_wstring(calibrator_.layer()));
    showDz();
    if (calibrator_.isFinished())
        setGroup(false);
}

// --- buttons ------------------------------------------------------------------------

void calibrateDlg_t::onInitializeMachine()
{
    // The same handler as the Software && Parameters page's, reached through
    // the main window that holds that page.
    if (mainDlg_t* main = tovrikApp().mainDialog()) {
        if (installationDlg_t* installation = main->installationPage())
            installation->onInitializeMachine();
    }
}

void calibrateDlg_t::onCalibratePens()
{
    startProcedure(this, [] { return new calibrateToolsBatch_t(); });
}

void calibrateDlg_t::onCleanBubbles(int form)
{
    if (form == calibrateDlgId::cleanBubbles)
        startProcedure(this, [] { return new cleanBubblesBatch_t(); });
    else
        startProcedure(this, [form] { return new fillEmptyGlueSystemBatch_t(form == calibrateDlgId::longCleanBubbles); });
}

void calibrateDlg_t::onCalibrateTrim()
{
    startProcedure(this, [] { return new calibrateTrimBatch_t(); });
}

void calibrateDlg_t::onCalibrateZabsZero()
{
    startProcedure(this, [] { return new calibrateZabsZero_t(); });
}

void calibrateDlg_t::onCalibrateDz()
{
    setGroup(true);
}

void calibrateDlg_t::onStartCalibration()
{
    calibrator_.start();
}

void calibrateDlg_t::onStopCalibration()
{
    calibrator_.stop();
    if (calibrator_.isFinished())
        setGroup(false);
}

void calibrateDlg_t::onCalibrateFeederEncoders()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (device == nullptr || device->getMachineInfo().embeddedVersion() < feederEncoderVersion) {
        messageBox(feederEncoderVersionText, MB_OK | MB_ICONSTOP);
        return;
    }
    calibrateFeederEncoders_t dialog(this);
    dialog.exec();
}

void calibrateDlg_t::onInitGlueSystem()
{
    tovrikApp().sendCommandIfReady(initGlueSystemCommand);
}
