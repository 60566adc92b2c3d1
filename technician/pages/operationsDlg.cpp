#include "technician/pages/operationsDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "platform/qt/dlgItem.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/tabCtrl.h"
#include "technician/pageIds.h"
#include "technician/pageKeys.h"
#include "technician/pages/buildDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/pages/functionsDlg.h"
#include "technician/pages/motorsDlg.h"
#include "technician/pages/testsDlg.h"
#include "technician/tovrikApp.h"
#include "ui_operationsDlg.h"

#include <QKeyEvent>
#include <cstdint>

namespace {

constexpr int sensorsLabelId = 1020;

// A lamp: its control, the bit of the sensor word it shows (the door lamp
// asks the device's door rule) and the connector its sensor is wired to.
struct sensorLamp_t {
    int ctrlId;
    std::uint32_t mask;
    const wchar_t* connector;
};

constexpr sensorLamp_t sensorLamps[] = {
    {1018, 0x80, L"J30"},                              // 1 mm Pen
    {1019, 0x40, L"J27"},                              // 3 mm Pen
    {1025, 0x20, L"J24"},                              // 6 mm Pen
    {1030, 0x10, L"J21"},                              // Roll Encoder
    {1031, 0x10000000, L"J20"},                        // Feeder Lower
    {1032, 0x8, L"J18"},                               // Feeder Upper
    {1035, 0x100, L"J13"},                             // Feeder Encoder
    {1027, 0x200000, L"J11"},                          // Iron Home
    {1028, 0x400, L"J19"},                             // Hook Home
    {1029, 0x1000000, L"J6"},                          // Pump Home
    {1036, 0x400000, L"J2"},                           // Height Touch
    {1037, 0x10000, L"J1"},                            // X Home
    {1038, 0x20000, L"J3"},                            // Y Home
    {1039, 0x40000, L"J5"},                            // Z Home
    {1033, sensorCtrl_t::doorMask, L"J7 (old), J22 && J25 (new)"},  // Door Open
    {1034, 0x100000, L"J9"},                           // Door Max
};

}  // namespace

operationsDlg_t::operationsDlg_t(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::operationsDlgTemplate>())
{
    ui_->setupUi(this);
    connect(ui_->innerTabs, &tabCtrl_t::selectionChanged, this, &operationsDlg_t::onTabChanged);
}

operationsDlg_t::~operationsDlg_t() = default;

bool operationsDlg_t::onInitDialog()
{
    if (initialised_)
        return true;
    initialised_ = true;
    tovrikApp().setBoldFont(this, sensorsLabelId);
    for (const sensorLamp_t& lamp : sensorLamps)
        dlgItemAs<sensorCtrl_t>(this, lamp.ctrlId)->attach(lamp.mask, lamp.connector);

    calibrate_ = createPage<calibrateDlg_t>(0, L"Clean && Calibrate", pageId::cleanAndCalibrate);
    createPage<testsDlg_t>(1, L"Run Tests", pageId::runTests);
    functions_ = createPage<functionsDlg_t>(2, L"Processes", pageId::processes);
    motors_ = createPage<motorsDlg_t>(3, L"Motors", pageId::motors);
    build_ = createPage<buildDlg_t>(4, L"Build", pageId::build);
    ui_->innerTabs->setCurrentIndexQuietly(0);
    showPage(0);
    return true;
}

template <class page_t>
page_t* operationsDlg_t::createPage(int index, const wchar_t* caption, int dialogId)
{
    using namespace operationsLayout;
    ui_->innerTabs->insertItem(index, QString::fromWCharArray(caption));
    auto* page = new page_t(ui_->innerTabs);
    if constexpr (requires { page->onInitDialog(); })
        page->onInitDialog();
    else
        page->resize(pageWidth, pageHeight);
    setDialogId(page, dialogId);
    page->move(pageLeft, pageTop);
    page->hide();
    pages_[static_cast<std::size_t>(index)] = page;
    pageIds_[static_cast<std::size_t>(index)] = dialogId;
    return page;
}

void operationsDlg_t::showPage(int index)
{
    for (int i = 0; i < pageCount; ++i)
        if (QWidget* page = pages_[static_cast<std::size_t>(i)])
            page->setVisible(i == index);
}

void operationsDlg_t::onStatus()
{
    if (!initialised_)
        return;
    sensorCtrl_t::invalidateAll();
    calibrate_->onStatus();
    functions_->showLayerLength();
    motors_->showPositions();
}

void operationsDlg_t::onMachineInfo()
{
    if (!initialised_)
        return;
    motors_->showCurrentTool();
}

void operationsDlg_t::onNewLayerRecord()
{
    // The Build page's statistics first, then the DZ calibrator.
    if (build_ != nullptr)
        build_->computeStatistics();
    if (calibrate_ != nullptr)
        calibrate_->onNewLayer();
}

void operationsDlg_t::onTabChanged(int index)
{
    if (index < 0 || index >= pageCount)
        return;
    if (qvrClientDev_t* device = getCurrentClientDevice()) {
        device->sendCommand(1);
        device->sendCommand(12);
    }
    showPage(index);
}

int operationsDlg_t::currentPageId() const
{
    const int index = ui_->innerTabs->currentIndex();
    return index >= 0 && index < pageCount ? pageIds_[static_cast<std::size_t>(index)] : pageId::operations;
}

tabCtrl_t* operationsDlg_t::innerTabs() const
{
    return ui_->innerTabs;
}

QWidget* operationsDlg_t::page(int index) const
{
    return index >= 0 && index < pageCount ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

int operationsDlg_t::pageId(int index) const
{
    return index >= 0 && index < pageCount ? pageIds_[static_cast<std::size_t>(index)] : 0;
}

void operationsDlg_t::keyPressEvent(QKeyEvent* event)
{
    if (!routePageKeys(*this, event))
        QWidget::keyPressEvent(event);
}
