// The Build page: "Build !" with its refusals and the model hand-over,
// "Browse...", where each statistic and each lamp shows (by control id),
// each lamp's rule at its boundary, and the statistics of a real build on
// the simulated printer as the main dialog's notifications bring them,
// emptied when the machine changes.
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"
#include "machine/littleEndian.h"
#include "machine/machineInfo.h"
#include "machine/machineStatus.h"
#include "machine/qvrHostModelInfo.h"
#include "platform/process.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/qt/processEventsUntil.h"
#include "platform/winConstants.h"
#include "platform/windowTable.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/mainDlg.h"
#include "technician/pages/buildDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/pages/buildLayers.h"
#include "tests/technician/technicianTestDevices.h"

#include <QCoreApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace buildLayers;

// A device that keeps every model hand-over instead of sending it.
class handOverRecorder_t : public testCommDev_t {
public:
    struct handOver_t {
        std::wstring path;
        std::int32_t kind, flag;
        std::wstring name;
        std::int32_t copies, lastLayer, a, b;
        std::wstring displayName;
    };
    std::vector<handOver_t> handOvers;

    void sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag, const std::wstring& name,
                       std::int32_t copies, std::int32_t lastLayer, std::int32_t a, std::int32_t b,
                       const std::wstring& displayName) override
    {
        handOvers.push_back({path, kind, flag, name, copies, lastLayer, a, b, displayName});
    }
    void setFlags(std::uint32_t flags)
    {
        lockGuard_t guard(getLock());
        le::putU32(&status.bytes[12], flags);
    }
};

// A model of n layers of 0.168 mm, as the slicer writes an empty one.
std::string modelText(int layers)
{
    std::string text = "$ 0 0 0 0 0 " + std::to_string((layers - 1) * 17) + " 4000 168000 Block\n";
    for (int i = 0; i < layers; ++i)
        text += "@ 4000\n#\n";
    return text + "\n$\n";
}

const std::wstring modelPath = L"C:\\Models\\Block.ZS";

class BuildDlgWidget : public prefixTest {
protected:
    void TearDown() override
    {
        setCurrentDevice(nullptr);
        setFileDialogHook({});
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }
};

TEST_F(BuildDlgWidget, BuildRefusesWhileBuildingAndHandsOverAnExistingFile)
{
    ASSERT_TRUE(writeRawFile(modelPath, modelText(3)));
    struct case_t {
        const char* name;
        int state;
        std::uint32_t flags;
        std::wstring file;
        std::vector<int> codes;
        std::wstring box;  // empty: none
        bool handedOver;
    };
    const std::vector<case_t> cases = {
        {"building", 1, 0x200, modelPath, {}, L"The machine is already building a model.", false},
        {"built model still on the table", 4, 0x4200, modelPath, {}, L"Please remove previous model first.", false},
        {"paused: 132 first", 2, 0, modelPath, {132}, L"", true},
        {"ready", 7, 0, modelPath, {}, L"", true},
        {"missing file", 7, 0, L"C:\\Models\\None.ZS", {}, L"Cannot find the specified ZS file.", false},
        {"paused with a missing file", 2, 0, L"", {132}, L"Cannot find the specified ZS file.", false},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        handOverRecorder_t device;
        setCurrentDevice(&device);
        device.setMachineState(c.state);
        device.setFlags(c.flags);
        buildDlg_t page;
        page.onInitDialog();
        page.setZsFile(c.file);
        {
            scriptedMessageBox_t boxes;
            if (!c.box.empty())
                boxes.expect(c.box, MB_ICONSTOP, IDOK);
            page.onBuild();
        }
        EXPECT_EQ(device.codes(), c.codes);
        ASSERT_EQ(device.handOvers.size(), c.handedOver ? 1u : 0u);
        if (c.handedOver) {
            const handOverRecorder_t::handOver_t& h = device.handOvers[0];
            EXPECT_EQ(h.path, modelPath);
            EXPECT_EQ(std::vector<std::int32_t>({h.kind, h.flag, h.copies, h.lastLayer, h.a, h.b}),
                      std::vector<std::int32_t>({2, 0, 1, 1999, 0, 0}));
            EXPECT_EQ(h.name, L"");
            EXPECT_EQ(h.displayName, L"");
        }
        setCurrentDevice(nullptr);
    }
}

TEST_F(BuildDlgWidget, BrowseAsksForAZsFile)
{
    buildDlg_t page;
    EXPECT_EQ(dialogId(&page), 192);
    page.onInitDialog();
    page.setZsFile(L"C:\\old.ZS");
    std::optional<std::wstring> answer;
    fileDialogRequest_t asked;
    setFileDialogHook([&](const fileDialogRequest_t& request) {
        asked = request;
        return answer;
    });
    page.onBrowse();  // cancelled
    EXPECT_EQ(page.zsFile(), L"C:\\old.ZS");
    EXPECT_EQ(asked.kind, fileDialogRequest_t::open_e);
    EXPECT_EQ(asked.filter, L"ZS Files (*.ZS)|*.ZS||");
    EXPECT_EQ(asked.defaultSuffix, L"ZS");
    answer = modelPath;
    page.onBrowse();
    EXPECT_EQ(page.zsFile(), modelPath);
}

// The value statics of dialog 192, each with the text it shows for the
// build of EachStatisticShowsInItsOwnControl. All but the count of layers
// are lamps.
struct valueControl_t {
    int id;
    const char* label;
    std::wstring text;
};
const std::vector<valueControl_t> valueControls = {
    {1081, "# Layers in Calculation:", L"12 out of 14"},
    {1091, "Model Height (mm):", L"1.15 (deviation: 0.05)"},
    {1082, "Average Thickness (microns):", L"104.5 (100.0 in last 10 layers)"},
    {1083, "Max XY Home Differences:", L"X: 2, Y: 3 (steps)"},
    {1084, "Avg. Roller Teeth Differences:", L"0.7 (1 layers with 0 pulses)"},
    {1085, "# Feeding Retries:", L"2"},
    {1086, "# Trimming Retries:", L"1"},
    {1092, "# Take/Return Tool Retries:", L"3 (2 layers with retries)"},
    {1093, "Max Pump Mistake (mm):", L"1.50"},
    {1087, "# Accurate Search Failures:", L"4"},
    {1088, "# Thickness-Error Layers:", L"5"},
    {1089, "Average Sensor Bouncing:", L"4.5 (max bouncing: 30)"},
    {1090, "# Sensor Stuck At Start:", L"3"},
};
constexpr int layersInCalculation = 1081;

// Text colours (COLORREF) of a lamp's value.
constexpr COLORREF goodColour = 0x008000;
constexpr COLORREF badColour = 0x8050a0;
constexpr COLORREF neutralColour = 0x000000;

COLORREF textColour(const buildDlg_t& page, int id)
{
    const QWidget* control = dlgItem(&page, id);
    return control != nullptr ? colorToColorref(control->palette().color(QPalette::WindowText)) : CLR_INVALID;
}

// Makes the page compute its statistics from a client device (no thread, no
// server) that holds what the replies of a build leave: a status with the
// building flag, the machine's layer count (offset 40) and the records it
// holds (42); the machine information with the embedded version (6); the
// model's layer thickness; and layer records 0 (the table) to N, each the
// answer to its request 10.
void computeFrom(buildDlg_t& page, const std::vector<layerRecord_t>& layers, int version,
                 std::int32_t thickness = 100000, int machineLayers = 14)
{
    sharedLock_t lock;
    qvrClientDev_t device(HWND(0), lock);
    const auto reply = [&](std::uint8_t type, const auto& payload) {
        packetBuffer_t packet(128);
        packet.pushByte(type);
        packet.append(payload.data(), static_cast<std::int32_t>(payload.size()));
        device.getQueue().setCurrent(packet);
        device.handleReply();
    };
    machineStatus_t status;
    le::putU32(&status.bytes[12], machineStatus_t::flagBuilding);
    le::putU16(&status.bytes[40], static_cast<std::uint16_t>(machineLayers));
    le::putU16(&status.bytes[42], static_cast<std::uint16_t>(layers.size()));
    reply(1, status.bytes);
    machineInfo_t info;
    le::putU16(&info.bytes[6], static_cast<std::uint16_t>(version));
    reply(11, info.bytes);
    qvrHostModelInfo_t model;
    model.values[1] = thickness;
    device.setModelInfo(model);
    device.requestLayerRecords(qvrClientDev_t::layerRecordCapacity);
    reply(9, layerRecord_t().bytes);
    for (const layerRecord_t& layer : layers)
        reply(9, layer.bytes);
    ASSERT_EQ(device.getLastReceivedLayerIndex(), static_cast<std::int32_t>(layers.size()));
    setCurrentClientDevice(&device);
    page.computeStatistics();
    setCurrentClientDevice(nullptr);
}

TEST_F(BuildDlgWidget, EachStatisticShowsInItsOwnControl)
{
    // Twelve layers of 0.1 mm over a first one of 0.05 mm, each statistic
    // with a value of its own.
    std::vector<layerRecord_t> layers = steady(12, 100000);
    layers[0] = layer(1050000, {{at::bouncing, 30}});
    // The pump's mistakes count from layer 3; a thickness error of 1 is none.
    layers = with(layers, 2, {{at::bouncing, 24}, {at::thicknessError, 2}, {at::toolRetries, 1}}, -3000);
    layers = with(layers, 3, {{at::thicknessError, 2}, {at::rollerTeeth, 0}});
    layers = with(layers, 4, {{at::thicknessError, 2}, {at::feedingTries, 3}});
    layers = with(layers, 5, {{at::thicknessError, 2}, {at::xHome, -2}});
    layers = with(layers, 6, {{at::thicknessError, 2}, {at::rollerTeeth, 27}});
    layers = with(layers, 7, {{at::thicknessError, 1}, {at::trimmingTries, 2}});
    layers = with(layers, 8, {{at::yHome, 3}});
    layers = with(layers, 9, {{at::toolRetries, 2}});
    layers = with(layers, 10, {}, -1500);
    layers = with(layers, 11, {{at::searchFailures, 4}});
    layers = with(layers, 12, {{at::stuckAtStart, 3}});

    buildDlg_t page;
    page.onInitDialog();
    computeFrom(page, layers, 1120);
    for (const valueControl_t& value : valueControls) {
        SCOPED_TRACE(value.label);
        EXPECT_EQ(page.valueText(value.id), value.text);
        EXPECT_TRUE(dlgItem(&page, value.id)->font().bold());
    }
}

// Each lamp's rule just inside its boundary (good) and just past it (bad),
// by the colour of every value: only the controls of the broken rule turn
// purple. An older printer (1119): its tool and pump texts stay empty, yet
// those lamps are judged.
TEST_F(BuildDlgWidget, EachLampTurnsAtItsBoundary)
{
    const std::vector<layerRecord_t> twenty = steady(20, 100000);  // N / 20 = 1, N / 10 = 2
    struct boundaryCase_t {
        const char* name;
        std::vector<layerRecord_t> good;
        std::vector<layerRecord_t> bad;
        std::vector<int> badControls;
    };
    const std::vector<boundaryCase_t> cases = {
        {"layers 2.5 microns thinner than the model, then 2.501", steady(20, 97500), steady(20, 97499), {1091, 1082}},
        {"layers 2.5 microns thicker than the model, then 2.501", steady(20, 102500), steady(20, 102501),
         {1091, 1082}},
        {"feeding: 1 retry in 20 layers, then 2", with(twenty, 20, {{at::feedingTries, 2}}),
         with(twenty, 20, {{at::feedingTries, 3}}), {1085}},
        {"roller teeth: 2.5 pulses apart on average over 5 layers, then 2.75",
         teeth(steady(5, 100000), {24, 27, 24, 26, 24}), teeth(steady(5, 100000), {24, 27, 24, 27, 25}), {1084}},
        {"roller teeth: 4 pulses apart over 4 layers, then over 5", teeth(steady(4, 100000), {20, 24, 20, 24}),
         teeth(steady(5, 100000), {20, 24, 20, 24, 20}), {1084}},
        {"roller teeth: 2 layers without pulses in 20, then 3", teeth(twenty, {24, 0, 24, 0}),
         teeth(twenty, {24, 0, 24, 0, 24, 0}), {1084}},
        {"trimming: 1 retry in 20 layers, then 2", with(twenty, 20, {{at::trimmingTries, 2}}),
         with(twenty, 20, {{at::trimmingTries, 3}}), {1086}},
        {"X home 4 steps apart, then 5", with(with(twenty, 10, {{at::xHome, -2}}), 11, {{at::xHome, 2}}),
         with(with(twenty, 10, {{at::xHome, -2}}), 11, {{at::xHome, 3}}), {1083}},
        {"Y home 4 steps apart, then 5", with(with(twenty, 10, {{at::yHome, -2}}), 11, {{at::yHome, 2}}),
         with(with(twenty, 10, {{at::yHome, -2}}), 11, {{at::yHome, 3}}), {1083}},
        {"no tool retry, then 1", twenty, with(twenty, 20, {{at::toolRetries, 1}}), {1092}},
        {"pump 1000 microns off from layer 3 on, then 1001", with(with(twenty, 2, {}, -5000), 3, {}, 1000),
         with(twenty, 3, {}, -1001), {1093}},
        {"bouncing 5.0 on average, then 5.05", with(twenty, 1, {{at::bouncing, 100}}),
         with(twenty, 1, {{at::bouncing, 101}}), {1089}},
        {"stuck at start once in 20 layers, then twice", with(twenty, 20, {{at::stuckAtStart, 1}}),
         with(twenty, 20, {{at::stuckAtStart, 2}}), {1090}},
        {"1 thickness error above 1 in 20 layers, then 2",
         with(with(twenty, 5, {{at::thicknessError, 2}}), 6, {{at::thicknessError, 1}}),
         with(with(twenty, 5, {{at::thicknessError, 2}}), 6, {{at::thicknessError, 2}}), {1088}},
        {"2 accurate-search failures in 20 layers, then 3", with(twenty, 20, {{at::searchFailures, 2}}),
         with(twenty, 20, {{at::searchFailures, 3}}), {1087}},
    };
    for (const boundaryCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        buildDlg_t page;
        page.onInitDialog();
        const COLORREF dialogColour = textColour(page, layersInCalculation);
        for (const bool good : {true, false}) {
            SCOPED_TRACE(good ? "good" : "bad");
            computeFrom(page, good ? c.good : c.bad, 1119);
            EXPECT_EQ(page.valueText(1092), L"");
            EXPECT_EQ(page.valueText(1093), L"");
            for (const valueControl_t& value : valueControls) {
                SCOPED_TRACE(value.label);
                const bool broken =
                    !good && std::find(c.badControls.begin(), c.badControls.end(), value.id) != c.badControls.end();
                const COLORREF expected =
                    value.id == layersInCalculation ? dialogColour : broken ? badColour : goodColour;
                EXPECT_EQ(textColour(page, value.id), expected);
            }
        }
    }
}

// The main dialog against a simulated printer that builds a model: the
// layer records reach the Build page through notification 124 while that
// page has never been on screen, and notification 151 (another machine)
// empties its lamps once the records are gone.
TEST_F(BuildDlgWidget, LayerRecordsReachTheUnshownPageAndAnotherMachineClearsIt)
{
    ASSERT_TRUE(writeRawFile(modelPath, modelText(12)));
    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.writeLogs = false;
    machine.printer.actionMs = 0;
    machine.printer.layerMs = 40;
    machine.printer.layerTroublePerMille = 0;
    config.machines.push_back(machine);
    wendaroServer_t server(config);
    ASSERT_TRUE(server.start());
    // Layers of exactly the model's thickness.
    server.printer(1).setMemoryWord(115, -2000000);

    // No driver program; the dialog connects to machine 1.
    setLauncherHook([](const std::wstring&) { return true; });
    tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\" 1");
    mainDlg_t dialog(false);
    dialog.setServer(L"localhost", server.port());
    tovrikApp().setMainDialog(&dialog);
    dialog.onInitDialog();
    qvrClientDev_t* device = dialog.device();
    ASSERT_TRUE(processEventsUntil([&] { return device->getMachineState() == 7; }));

    buildDlg_t* page = dialog.operationsPage()->buildPage();
    page->setZsFile(modelPath);
    page->onBuild();
    ASSERT_TRUE(processEventsUntil([&] {
        return page->valueText(layersInCalculation) == L"12 out of 12" &&
               page->valueText(1082) == L"168.0 (168.0 in last 10 layers)" &&
               page->valueText(1091) == L"1.85 (deviation: 0.00)";
    })) << page->valueText(layersInCalculation);
    EXPECT_EQ(dialog.currentTab(), 0);
    EXPECT_FALSE(page->isVisibleTo(&dialog));
    EXPECT_EQ(page->valueText(1085), L"0");
    for (const valueControl_t& value : valueControls) {
        SCOPED_TRACE(value.label);
        if (value.id == layersInCalculation)
            continue;
        EXPECT_EQ(textColour(*page, value.id), goodColour);
    }

    // The model leaves the table and the device its records; then the
    // dialog hears of another machine.
    server.printer(1).removeModel();
    ASSERT_TRUE(processEventsUntil([&] { return device->getLastReceivedLayerIndex() == -1; }));
    ASSERT_TRUE(postMessage(dialog.hwnd(), basicComm_t::notifyMessageNumber, 151,
                            reinterpret_cast<LPARAM>(static_cast<basicComm_t*>(device))));
    QCoreApplication::processEvents();
    EXPECT_EQ(page->valueText(layersInCalculation), L"12 out of 12");
    for (const valueControl_t& value : valueControls) {
        SCOPED_TRACE(value.label);
        if (value.id == layersInCalculation)
            continue;
        EXPECT_EQ(page->valueText(value.id), L"");
        EXPECT_EQ(textColour(*page, value.id), neutralColour);
    }
}

}  // namespace
