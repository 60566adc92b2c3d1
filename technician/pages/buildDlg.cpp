#include "technician/pages/buildDlg.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"
#include "machine/fileUtils.h"
#include "machine/messageBox.h"
#include "machine/qvrCommDev.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/winConstants.h"
#include "technician/tovrikApp.h"
#include "ui_buildDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

// The values in template order, with the text of the statistics each shows.
struct valueControl_t {
    int id;
    std::wstring buildStatistics_t::*text;
};

constexpr valueControl_t valueControls[] = {
    {1081, &buildStatistics_t::layersInCalculation}, {1091, &buildStatistics_t::modelHeight},
    {1082, &buildStatistics_t::averageThickness},    {1083, &buildStatistics_t::xyHomeDifferences},
    {1084, &buildStatistics_t::rollerTeeth},         {1085, &buildStatistics_t::feedingRetries},
    {1086, &buildStatistics_t::trimmingRetries},     {1092, &buildStatistics_t::toolRetries},
    {1093, &buildStatistics_t::pumpMistake},         {1087, &buildStatistics_t::searchFailures},
    {1088, &buildStatistics_t::thicknessErrors},     {1089, &buildStatistics_t::bouncing},
    {1090, &buildStatistics_t::stuckAtStart},
};

// Status flags: a model is being built, and the last one is still on the table.
constexpr std::uint32_t buildingFlag = 0x200;
constexpr std::uint32_t modelOnTableFlag = 0x4000;
constexpr int pausedState = 2;
constexpr std::uint8_t leaveHeldStateCommand = 132;

}  // namespace

buildDlg_t::buildDlg_t(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::buildDlgTemplate>())
{
    // A page inside the Operations page's tab, not a window of its own.
    setWindowFlags(Qt::Widget);
    ui_->setupUi(this);
    setFixedSize(size());
    lamps_.fill(buildStatistics_t::neutral_e);
    connect(ui_->buildButton, &QPushButton::clicked, this, &buildDlg_t::onBuild);
    connect(ui_->browseButton, &QPushButton::clicked, this, &buildDlg_t::onBrowse);
}

buildDlg_t::~buildDlg_t() = default;

bool buildDlg_t::onInitDialog()
{
    initialised_ = true;
    for (const valueControl_t& value : valueControls)
        tovrikApp().setBoldFont(this, value.id);
    for (int lamp = 0; lamp < buildStatistics_t::lampCount; ++lamp)
        showLamp(lamp, lamps_[static_cast<std::size_t>(lamp)]);
    computeStatistics();
    return true;
}

void buildDlg_t::computeStatistics()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    if (!initialised_ || device == nullptr)
        return;
    // Layer records 1 to the last one received all exist; record 0 is the
    // table before the first layer. The device never stores one past its
    // table, and the bound is kept here too so that no read goes past it.
    const std::int32_t last =
        std::min(device->getLastReceivedLayerIndex(), qvrClientDev_t::layerRecordCapacity - 1);
    if (last < 1)
        return;
    std::vector<layerRecord_t> layers;
    layers.reserve(static_cast<std::size_t>(last));
    for (std::int32_t index = 1; index <= last; ++index)
        layers.push_back(device->getLayerRecord(index));
    const int machineLayers = device->getStatus().lastLayer();
    const int version = device->getMachineInfo().embeddedVersion();
    const std::int32_t thickness = device->getModelInfo().layerThickness();

    texts_ = buildStatistics_t::compute(layers, machineLayers, version, thickness);
    for (int lamp = 0; lamp < buildStatistics_t::lampCount; ++lamp)
        showLamp(lamp, texts_.lamps[static_cast<std::size_t>(lamp)]);
    updateTexts();
}

void buildDlg_t::resetStatistics()
{
    if (!initialised_)
        return;
    for (int lamp = 0; lamp < buildStatistics_t::lampCount; ++lamp)
        showLamp(lamp, buildStatistics_t::neutral_e);
    // The count of layers has no lamp and keeps its text.
    const std::wstring layersText = texts_.layersInCalculation;
    texts_ = buildStatistics_t();
    texts_.layersInCalculation = layersText;
    updateTexts();
    computeStatistics();
}

void buildDlg_t::showLamp(int lamp, buildStatistics_t::lampState_e state)
{
    auto* control = dlgItemAs<QLabel>(this, lampControls[static_cast<std::size_t>(lamp)]);
    lamps_[static_cast<std::size_t>(lamp)] = state;
    if (control == nullptr)
        return;
    QPalette colours = control->palette();
    colours.setColor(QPalette::WindowText, colorrefToColor(lampColours[static_cast<std::size_t>(state)]));
    control->setPalette(colours);
    control->update();
}

void buildDlg_t::updateTexts()
{
    for (const valueControl_t& value : valueControls) {
        if (QWidget* control = dlgItem(this, value.id))
            setWindowText(control, texts_.*value.text);
    }
}

void buildDlg_t::onBuild()
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device == nullptr)
        return;
    const machineStatus_t status = device->getStatus();
    if ((status.flags() & buildingFlag) != 0) {
        messageBox((status.flags() & modelOnTableFlag) != 0 ? L"Please remove previous model first."
                                                            : L"The machine is already building a model.",
                   MB_ICONSTOP);
        return;
    }
    // A paused machine leaves its held state before it takes a new model.
    if (status.machineState() == pausedState)
        device->sendCommand(leaveHeldStateCommand);
    const std::wstring path = zsFile();
    if (fileExists(path))
        device->sendModelFile(path, 2, 0, L"", 1, 1999, 0, 0, L"");
    else
        messageBox(L"Cannot find the specified ZS file.", MB_ICONSTOP);
}

void buildDlg_t::onBrowse()
{
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::open_e;
    request.parent = this;
    request.filter = L"ZS Files (*.ZS)|*.ZS||";
    request.defaultSuffix = L"ZS";
    if (const std::optional<std::wstring> chosen = runFileDialog(request))
        setZsFile(*chosen);
}

std::wstring buildDlg_t::valueText(int controlId) const
{
    const QWidget* control = dlgItem(this, controlId);
    return control != nullptr ? windowText(control) : std::wstring();
}

buildStatistics_t::lampState_e buildDlg_t::lampState(int lamp) const
{
    return lamps_.at(static_cast<std::size_t>(lamp));
}

std::uint32_t buildDlg_t::shownColour(int lamp) const
{
    const QWidget* control = dlgItem(this, lampControls.at(static_cast<std::size_t>(lamp)));
    return control != nullptr ? colorToColorref(control->palette().color(QPalette::WindowText)) : CLR_INVALID;
}

std::wstring buildDlg_t::zsFile() const
{
    return windowText(ui_->zsFileEdit);
}

void buildDlg_t::setZsFile(const std::wstring& path)
{
    setWindowText(ui_->zsFileEdit, path);
}
