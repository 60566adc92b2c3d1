// The Build page: "Build !" with its refusals and the model hand-over,
// "Browse...", and the statistics of a real build on the simulated printer,
// read from layer records 1 to the last one received, then reset when the
// machine changes.
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/winConstants.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/buildDlg.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "platform/qt/processEventsUntil.h"
#include "tests/technician/technicianTestDevices.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

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

TEST_F(BuildDlgWidget, StatisticsOfABuildOnTheSimulatedPrinter)
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

    sharedLock_t lock;
    auto device = std::make_unique<qvrClientDev_t>(0, lock);
    setCurrentClientDevice(device.get());
    ASSERT_TRUE(device->connect(L"localhost", 1, true, server.port()));
    ASSERT_TRUE(processEventsUntil([&] { return device->getMachineState() == 7; }));

    buildDlg_t page;
    page.onInitDialog();
    EXPECT_EQ(page.valueText(buildDlgId::layersInCalculation), L"");
    page.setZsFile(modelPath);
    page.onBuild();
    // What the main dialog does on every status and every layer record.
    ASSERT_TRUE(processEventsUntil([&] {
        device->requestLayerRecords(10);
        page.computeStatistics();
        return device->getLastReceivedLayerIndex() == 12 && device->getModelInfo().layerThickness() != 0;
    }));
    page.computeStatistics();

    EXPECT_EQ(page.valueText(buildDlgId::layersInCalculation), L"12 out of 12");
    EXPECT_EQ(page.valueText(1082), L"168.0 (168.0 in last 10 layers)");
    EXPECT_EQ(page.valueText(1091), L"1.85 (deviation: 0.00)");
    EXPECT_EQ(page.valueText(1085), L"0");
    for (int lamp = 0; lamp < buildStatistics_t::lampCount; ++lamp) {
        SCOPED_TRACE(lamp);
        EXPECT_EQ(page.lampState(lamp), buildStatistics_t::good_e);
        EXPECT_EQ(page.shownColour(lamp), 0x008000u);
    }

    // Another machine, without layer records: the lamps go neutral and
    // their texts empty; the count of layers stays.
    device->stop();
    auto other = std::make_unique<qvrClientDev_t>(0, lock);
    setCurrentClientDevice(other.get());
    page.resetStatistics();
    EXPECT_EQ(page.valueText(buildDlgId::layersInCalculation), L"12 out of 12");
    for (int lamp = 0; lamp < buildStatistics_t::lampCount; ++lamp) {
        SCOPED_TRACE(lamp);
        EXPECT_EQ(page.valueText(buildDlg_t::lampControls[static_cast<std::size_t>(lamp)]), L"");
        EXPECT_EQ(page.shownColour(lamp), 0x000000u);
    }
    setCurrentClientDevice(nullptr);
    device.reset();
    server.stop();
}

}  // namespace
