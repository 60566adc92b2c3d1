#include "technician/pages/functionsDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "machine/messageBox.h"
#include "platform/qt/dlgItem.h"
#include "technician/controls/layerLengthEdit.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/holdsFocus.h"
#include "technician/pageKeys.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "ui_functionsDlg.h"

#include <QKeyEvent>
#include <QPushButton>
#include <cstdint>

namespace {

constexpr int operationsGroupId = 1063;
constexpr int checkHeightId = 1033;
constexpr int processBitmapId = 136;
constexpr int feedUptoTrimIndex = 6;
constexpr int feederAxis = 4;

// A button and the command it sends (code, then up to one byte).
struct processButton_t {
    int ctrlId;
    std::uint8_t code;
    std::int32_t argType;
    std::int32_t arg;
};

constexpr processButton_t processButtons[] = {
    {1030, 144, 0, 0},  // Feed Layer
    {1031, 151, 1, 1},  // Hook
    {1034, 151, 1, 0},  // Un-Hook
    {1032, 142, 1, 1},  // Iron Layer
    {1024, 143, 0, 0},  // Trim Layer
    {1026, 130, 1, 4},  // Home Layer
    {1027, 161, 0, 0},  // Un-Feed Layer
    {1028, 145, 0, 0},  // Activate Full Cycle
};

}  // namespace

functionsDlg_t::functionsDlg_t(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::functionsDlgTemplate>())
{
    ui_->setupUi(this);
    for (const processButton_t& entry : processButtons) {
        auto* button = dlgItemAs<QPushButton>(this, entry.ctrlId);
        connect(button, &QPushButton::clicked, this, [entry] {
            tovrikApp().sendCommandIfReady(entry.code, entry.argType, entry.arg);
        });
    }
    connect(dlgItemAs<QPushButton>(this, checkHeightId), &QPushButton::clicked, this,
            &functionsDlg_t::onCheckHeight);
}

functionsDlg_t::~functionsDlg_t() = default;

bool functionsDlg_t::onInitDialog()
{
    tovrikApp().setBoldFont(this, operationsGroupId);
    ui_->processPicture->setBitmap(loadBitmapResource(processBitmapId));
    return true;
}

layerLengthEdit_t* functionsDlg_t::layerLengthEdit() const
{
    return ui_->layerLength;
}

void functionsDlg_t::onCheckHeight()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    const machineParam_t* feedUptoTrim = findParameter(feedUptoTrimIndex, L"Feed upto trim");
    if (device == nullptr || feedUptoTrim == nullptr)
        return;
    std::int64_t trimSteps = 0;
    {
        lockGuard_t guard(device->getLock());
        trimSteps = device->nanoToSteps(feederAxis, device->getParamValue(*feedUptoTrim));
    }
    // A sheet fed past the trim line would be measured as part of the model.
    if (device->getStatus().feederPosition() > trimSteps) {
        messageBox(L"Check height can be done only when the media is trimmed and unfed.", MB_ICONSTOP);
        return;
    }
    tovrikApp().sendCommandIfReady(139, 1, 1);
}

void functionsDlg_t::showLayerLength()
{
    if (qvrClientDev_t* device = getCurrentClientDevice())
        ui_->layerLength->showLength(device->getStatus().layerLength());
}

void functionsDlg_t::onOK()
{
    if (holdsFocus(ui_->layerLength))
        ui_->layerLength->commit();
}

void functionsDlg_t::keyPressEvent(QKeyEvent* event)
{
    if (!routePageKeys(*this, event))
        QWidget::keyPressEvent(event);
}
