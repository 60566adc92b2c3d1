#include "technician/pages/motorsDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "platform/qt/dlgItem.h"
#include "technician/controls/autoThreeStateBox.h"
#include "technician/controls/layerLengthEdit.h"
#include "technician/controls/transparentButton.h"
#include "technician/controls/xyFrameCtrl.h"
#include "technician/holdsFocus.h"
#include "technician/lengthEntry.h"
#include "technician/pageKeys.h"
#include "technician/pages/currentToolText.h"
#include "technician/pages/motorPowerWord.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "ui_motorsDlg.h"

#include <QKeyEvent>
#include <QPushButton>
#include <cstdint>
#include <limits>

namespace {

constexpr int xyStepId = 1040;
constexpr int zStepId = 1048;

// An arrow: its bitmap, and the axis, direction and step edit of its move.
struct arrow_t {
    int ctrlId;
    int bitmapId;
    std::int32_t axis;
    int sign;
    int stepEditId;
};

constexpr arrow_t arrows[] = {
    {1036, 137, 1, +1, xyStepId},  // Y up
    {1037, 138, 1, -1, xyStepId},  // Y down
    {1038, 140, 0, -1, xyStepId},  // X left
    {1039, 139, 0, +1, xyStepId},  // X right
    {1044, 142, 2, +1, zStepId},   // Z up
    {1045, 141, 2, -1, zStepId},   // Z down
};

// A button and the command it sends through the gate.
struct motorButton_t {
    int ctrlId;
    std::uint8_t code;
    std::int32_t type1;
    std::int32_t value1;
    std::int32_t type2;
    std::int32_t value2;
};

constexpr motorButton_t motorButtons[] = {
    {1050, 130, 1, 0, 0, 0},  // Find Home XY
    {1019, 130, 1, 2, 0, 0},  // Down to Home Sensor
    {1023, 130, 1, 4, 0, 0},  // Home Layer
    {1030, 144, 0, 0, 0, 0},  // Feed Layer
    {1027, 161, 0, 0, 0, 0},  // Un-Feed Layer
    {1051, 154, 0, 0, 0, 0},  // Move XY Head To Machine Back
    {1098, 140, 1, 4, 1, 0},  // Take 1mm Pen
    {1099, 140, 1, 5, 1, 0},  // Take 3mm Pen
    {1100, 140, 1, 6, 1, 0},  // Take 6mm Pen
    {1102, 141, 1, 0, 0, 0},  // Return Tool
};

Qt::CheckState checkStateOf(motorPowerWord_t::boxState_e state)
{
    switch (state) {
    case motorPowerWord_t::checked_e:
        return Qt::Checked;
    case motorPowerWord_t::indeterminate_e:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

std::wstring textOf(const QWidget* page, int id)
{
    return windowText(dlgItem(page, id));
}

}  // namespace

motorsDlg_t::motorsDlg_t(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::motorsDlgTemplate>())
{
    ui_->setupUi(this);
    for (const motorButton_t& entry : motorButtons) {
        connect(dlgItemAs<QPushButton>(this, entry.ctrlId), &QPushButton::clicked, this, [entry] {
            tovrikApp().sendCommandIfReady(entry.code, entry.type1, entry.value1, entry.type2, entry.value2);
        });
    }
    connect(ui_->moveXYTo, &QPushButton::clicked, this, &motorsDlg_t::onMoveXYTo);
    connect(ui_->zIdle, &QPushButton::clicked, this, &motorsDlg_t::onIdlePosition);
    connect(ui_->xyPowerOff, &QCheckBox::clicked, this, [this] { motorPowerOff(xyGroup_e); });
    connect(ui_->zPowerOff, &QCheckBox::clicked, this, [this] { motorPowerOff(zGroup_e); });
    connect(ui_->feederPowerOff, &QCheckBox::clicked, this, [this] { motorPowerOff(feederGroup_e); });
}

motorsDlg_t::~motorsDlg_t() = default;

bool motorsDlg_t::onInitDialog()
{
    for (const arrow_t& arrow : arrows) {
        auto* button = dlgItemAs<transparentButton_t>(this, arrow.ctrlId);
        button->setBitmap(loadBitmapResource(arrow.bitmapId));
    }
    ui_->xyStep->setText(QStringLiteral("10"));
    ui_->zStep->setText(QStringLiteral("20"));
    return true;
}

layerLengthEdit_t* motorsDlg_t::layerLengthEdit() const
{
    return ui_->layerLength;
}

void motorsDlg_t::moveRelative(int buttonId)
{
    for (const arrow_t& arrow : arrows) {
        if (arrow.ctrlId != buttonId)
            continue;
        const std::optional<std::int32_t> step = millimetresToNano(textOf(this, arrow.stepEditId));
        if (!step)
            return;
        // -(-2147.483648 mm) would not fit either.
        const std::int64_t distance = static_cast<std::int64_t>(*step) * arrow.sign;
        if (distance > std::numeric_limits<std::int32_t>::max())
            return;
        tovrikApp().sendCommandIfReady(128, 1, arrow.axis, 4, static_cast<std::int32_t>(distance));
        return;
    }
}

void motorsDlg_t::motorPowerOff(int group)
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (device == nullptr)
        return;
    const std::uint8_t level = motorPowerWord_t(device->getMachineInfo().motorPowerWord()).toggledLevel(group);
    // Nothing at all when the gate refuses: a building machine must not
    // lose its X motor either.
    if (!tovrikApp().sendCommandIfReady(131, 1, group, 1, level))
        return;
    // The XY group is two motors: the gate's command reaches Y, this one X.
    if (group == xyGroup_e)
        device->sendCommandArgs(131, 1, 0, 1, level);
    device->sendCommand(12);
}

void motorsDlg_t::onMoveXYTo()
{
    const std::optional<std::int32_t> x = millimetresToNano(ui_->xTarget->text().toStdWString());
    const std::optional<std::int32_t> y = millimetresToNano(ui_->yTarget->text().toStdWString());
    if (!x || !y)
        return;
    tovrikApp().sendCommandIfReady(135, 4, *x, 4, *y);
}

void motorsDlg_t::onIdlePosition()
{
    if (!tovrikApp().makeMachineReady())
        return;
    if (qvrClientDev_t* device = getCurrentClientDevice()) {
        device->moveZtoSafePos();
        device->sendCommand(1);
    }
}

void motorsDlg_t::showCurrentTool()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (device == nullptr)
        return;
    const machineInfo_t info = device->getMachineInfo();
    currentTool_ = currentToolText(info.currentTool());
    ui_->currentTool->setText(QString::fromStdWString(currentTool_));
    const motorPowerWord_t motors(info.motorPowerWord());
    ui_->xyPowerOff->setCheckState(checkStateOf(motors.boxState(xyGroup_e)));
    ui_->zPowerOff->setCheckState(checkStateOf(motors.boxState(zGroup_e)));
    ui_->feederPowerOff->setCheckState(checkStateOf(motors.boxState(feederGroup_e)));
}

void motorsDlg_t::showPositions()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (device == nullptr)
        return;
    const machineStatus_t status = device->getStatus();
    ui_->layerLength->showLength(status.layerLength());
    if (!holdsFocus(ui_->xTarget) && !holdsFocus(ui_->yTarget) && !holdsFocus(ui_->moveXYTo)) {
        ui_->xTarget->setText(QString::number(device->stepsToMm(0, status.xPosition()), 'f', 2));
        ui_->yTarget->setText(QString::number(device->stepsToMm(1, status.yPosition()), 'f', 2));
    }
    ui_->xyFrame->update();
}

void motorsDlg_t::onOK()
{
    if (holdsFocus(ui_->layerLength))
        ui_->layerLength->commit();
    else if (holdsFocus(ui_->xTarget) || holdsFocus(ui_->yTarget))
        onMoveXYTo();
}

void motorsDlg_t::keyPressEvent(QKeyEvent* event)
{
    if (!routePageKeys(*this, event))
        QWidget::keyPressEvent(event);
}
