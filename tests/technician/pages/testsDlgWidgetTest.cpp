// The Run Tests page: each test's action and the building gate's exceptions,
// the block test's limits, the repeat count, the controls each test shows,
// and on the simulated printer: script tests that end in their error report,
// the cube, and "Cancel Test" that cancels only on Yes.
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/codePage.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/processEventsUntil.h"
#include "platform/winConstants.h"
#include "procedures/batches/pensTakingTestBatch.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "standins/wendaro/simModelFile.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/pages/testsDlg.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/connectedPrinter.h"
#include "tests/technician/technicianTestDevices.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A model handed to the server: the file and the values of its record.
struct handOver_t {
    std::wstring path;
    std::int32_t kind;
    std::int32_t flag;
    std::wstring name;
    std::int32_t copies;
    std::int32_t lastLayer;
    std::int32_t a;
    std::int32_t b;
    std::wstring displayName;
    bool operator==(const handOver_t&) const = default;
};

std::ostream& operator<<(std::ostream& out, const handOver_t& h)
{
    return out << wideToUtf8(h.path) << " kind " << h.kind << " flag " << h.flag << " name \"" << wideToUtf8(h.name)
               << "\" copies " << h.copies << " last layer " << h.lastLayer << " " << h.a << " " << h.b
               << " display \"" << wideToUtf8(h.displayName) << "\"";
}

// A client device that keeps each model hand-over instead of sending it.
class testsPageDevice_t : private testLockHolder_t, public testClientDev_t {
public:
    testsPageDevice_t() : testClientDev_t(HWND(0), testLock) {}
    std::vector<handOver_t> handedOver;
    void sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag, const std::wstring& name,
                       std::int32_t copies, std::int32_t lastLayer, std::int32_t a, std::int32_t b,
                       const std::wstring& displayName) override
    {
        handedOver.push_back({path, kind, flag, name, copies, lastLayer, a, b, displayName});
    }
    void setFlags(std::uint32_t flags)
    {
        lockGuard_t guard(getLock());
        le::putU32(&status.bytes[12], flags);
    }
    // The one empty model handed over, as the printer reads it.
    std::optional<simModelFile_t> emptyModel()
    {
        return handedOver.size() == 1 && handedOver[0].path == getMachineFolder() + L"/" + emptyModelFileName
                   ? simModelFile_t::read(handedOver[0].path)
                   : std::nullopt;
    }
    int builtLayers() { return emptyModel() ? emptyModel()->layers : 0; }
};

// Runs the action; each progress dialog it opens modally goes to onOpen,
// which must close it. The names of the procedures opened.
std::vector<std::wstring> procedureRuns(
    const std::function<void()>& action,
    const std::function<void(staticBatchDlg_t&)>& onOpen = [](staticBatchDlg_t& d) { d.reject(); })
{
    std::vector<std::wstring> names;
    staticBatchDlg_t* seen = nullptr;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<staticBatchDlg_t*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog != seen) {
            seen = dialog;
            names.push_back(dialog->procedure().name());
            onOpen(*dialog);
        }
    });
    timer.start(10);
    action();
    return names;
}

class TestsDlgWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setCurrentClientDevice(&device_);
        device_.createMachineFolders();
        page_.onInitDialog();
    }
    void TearDown() override { setCurrentClientDevice(nullptr); }

    testsPageDevice_t device_;
    testsDlg_t page_;
};

TEST_F(TestsDlgWidget, EachTestsActionAndTheBuildingGateSparesKnifeAndPens)
{
    using sent_t = std::vector<std::vector<std::uint8_t>>;
    struct outcome_t {
        std::wstring procedure;          // the procedure run in the progress dialog
        sent_t sent;                     // otherwise the commands sent, [code][payload]
        std::vector<handOver_t> models;  // and the models handed to the server
        int layers = 0;                  // an empty model's layers
        std::int64_t length = 0;         // and its length (nm)
        std::wstring box;
    };
    // The empty model's record, and the cube's as the Build page hands a
    // model over. The model is 60 mm shorter than the block: the feed
    // beyond it and the model's offset.
    const handOver_t block{device_.getMachineFolder() + L"/" + emptyModelFileName, 2, 1, L"", 1, 1999, 0, 0, L""};
    const handOver_t cube{std::wstring(defaultSlicerFolder) + L"/Cube.zs", 2, 0, L"", 1, 1999, 0, 0, L""};
    ASSERT_TRUE(writeRawFile(cube.path, "a slicer's model"));
    // A paused machine leaves its held state (132) before a model is sent,
    // and before the cube is looked for.
    const struct {
        int test;
        outcome_t paused;  // paused machine, no model on the table
    } tests[] = {
        {1064, {L"", {{132}}, {block}, 6, 40000000, L""}},
        {1065, {L"", {{132}}, {block}, 50, 230000000, L""}},
        {1066, {L"Check Knife", {}, {}, 0, 0, L""}},
        {1067, {L"Pens Taking Test", {}, {}, 0, 0, L""}},
        {1068, {L"Pens Drawing Test", {}, {}, 0, 0, L""}},
        {1069, {L"", {{132}}, {block}, 10, 40000000, L""}},
        {1070, {L"Target Test", {}, {}, 0, 0, L""}},
        {1071, {L"", {{155}}, {}, 0, 0, L""}},
        {1072, {L"", {{132}}, {cube}, 0, 0, L""}},
        {1073, {L"Custom Test", {}, {}, 0, 0, L""}},
    };
    const struct {
        std::uint32_t flags;
        const wchar_t* refusal;
    } machines[] = {{0, nullptr},
                    {0x4200, L"Please remove previous model first."},
                    {0x0200, L"The machine is already building a model."}};
    page_.setControlText(testsDlgId::layers, L"10");
    page_.setControlText(testsDlgId::length, L"100");
    for (const auto& machine : machines) {
        for (const auto& t : tests) {
            SCOPED_TRACE(testing::Message() << t.test << " flags " << machine.flags);
            device_.setMachineState(2);
            device_.setFlags(machine.flags);
            device_.clearSent();
            device_.handedOver.clear();
            page_.chooseTest(t.test);
            const bool gated = machine.refusal != nullptr && t.test != 1066 && t.test != 1067;
            const outcome_t expected = gated ? outcome_t{L"", {}, {}, 0, 0, machine.refusal} : t.paused;
            scriptedMessageBox_t boxes;
            if (!expected.box.empty())
                boxes.expect(expected.box, MB_ICONSTOP, IDOK);
            const std::vector<std::wstring> runs = procedureRuns([&] { page_.runSelectedTest(); });
            if (!expected.procedure.empty()) {
                EXPECT_EQ(runs, std::vector<std::wstring>{expected.procedure});
                continue;
            }
            EXPECT_TRUE(runs.empty());
            EXPECT_EQ(device_.bytesSince(0), expected.sent);
            EXPECT_EQ(device_.handedOver, expected.models);
            const std::optional<simModelFile_t> model = device_.emptyModel();
            EXPECT_EQ(model ? model->layers : 0, expected.layers);
            EXPECT_EQ(model ? model->length : 0, expected.length);
        }
    }
}

TEST_F(TestsDlgWidget, BlockTestLimits)
{
    const std::wstring layersRefused = L"Invalid number of layers specified.";
    const std::wstring lengthRefused = L"Invalid model length specified.";
    const struct {
        const wchar_t* layers;
        const wchar_t* length;
        std::wstring refusal;  // empty: built with that many layers
    } cases[] = {
        {L"1", L"1", L""},
        {L"1998", L"1", L""},
        {L"1998", L"2147", L""},
        {L"0", L"100", layersRefused},
        {L"1999", L"100", layersRefused},
        {L"", L"100", layersRefused},
        {L"10", L"0", lengthRefused},
        {L"10", L"-5", lengthRefused},
        // Lengths whose nanometres no longer fit in 32 bits.
        {L"10", L"2148", lengthRefused},
        {L"10", L"99999999999", lengthRefused},
    };
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::blockTest);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.layers << " x " << c.length);
        device_.handedOver.clear();
        page_.setControlText(testsDlgId::layers, c.layers);
        page_.setControlText(testsDlgId::length, c.length);
        {
            scriptedMessageBox_t boxes;
            if (!c.refusal.empty())
                boxes.expect(c.refusal, MB_ICONSTOP, IDOK);
            page_.runSelectedTest();
        }
        EXPECT_EQ(device_.builtLayers(), c.refusal.empty() ? std::stoi(c.layers) : 0);
        EXPECT_EQ(device_.handedOver.size(), c.refusal.empty() ? 1u : 0u);
    }
    EXPECT_TRUE(device_.codes().empty());
}

TEST_F(TestsDlgWidget, RepeatCountIsEightUnlessAboveZero)
{
    const std::pair<const wchar_t*, int> cases[] = {{L"", 8},   {L"abc", 8}, {L"0", 8},
                                                    {L"-3", 8}, {L"1", 1},   {L" 12", 12}};
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::pensTakingTest);
    EXPECT_EQ(page_.controlText(testsDlgId::repeats), L"8");
    for (const auto& [text, expected] : cases) {
        page_.setControlText(testsDlgId::repeats, text);
        int loops = -1;
        procedureRuns([&] { page_.runSelectedTest(); },
                      [&](staticBatchDlg_t& dialog) {
                          loops = dynamic_cast<pensTakingTestBatch_t&>(dialog.procedure()).loopCount();
                          dialog.reject();
                      });
        EXPECT_EQ(loops, expected) << text;
    }
}

TEST_F(TestsDlgWidget, ATestShowsOnlyItsControlsAndEnterRunsIt)
{
    const std::vector<int> own = {1082, 1112, 1081, 1105, 1107, 1106, 1108, 1111, 1109, 1110};
    const std::pair<int, std::vector<int>> cases[] = {
        {0, {}},
        {testsDlgId::pensTakingTest, {1082, 1112}},
        {testsDlgId::blockTest, {1081, 1105, 1107, 1106, 1108}},
        {testsDlgId::customTest, {1111, 1109, 1110}},
        {testsDlgId::cuttingKnifeTest, {}},
    };
    for (const auto& [test, shown] : cases) {
        if (test != 0)
            page_.chooseTest(test);
        for (const int id : own)
            EXPECT_EQ(page_.isControlShown(id), std::find(shown.begin(), shown.end(), id) != shown.end())
                << test << ": " << id;
    }
    EXPECT_EQ(windowText(dlgItem(&page_, testsDlgId::details)),
              L"Draws a small circle on a peace of media to check the cutting knife.\n\n"
              L"Make sure there is at least 1 ironed layer on the table before starting.\n\n"
              L"Prepare a small peace of media to put underneath the knife when requested.");

    // Enter in an edit runs the chosen test; Escape does nothing.
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::pyramidTest);
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(dlgItem(&page_, testsDlgId::layers), &press);
    }
    EXPECT_EQ(device_.codes(), std::vector<int>{155});
}

// The machines server stand-in, its printer slow enough for a build to be
// cancelled while it runs, and the slicer's folder in the prefix.
class TestsDlgServerWidget : public prefixTest {
protected:
    static constexpr const wchar_t* slicerFolder = L"C:\\Ondrel";

    void SetUp() override
    {
        ASSERT_TRUE(
            regWriteString(slicerRegistryKey, slicerDirectoryValueName, slicerFolder, HKEY_LOCAL_MACHINE));
        simPrinterConfig_t printer;
        printer.actionMs = 0;
        printer.layerMs = 200;
        ASSERT_NO_FATAL_FAILURE(connected_.start(printer));
        server_ = connected_.server();
        device_ = connected_.device();
        page_.onInitDialog();
    }
    void TearDown() override { connected_.stop(); }

    connectedPrinter_t<qvrClientDev_t> connected_;
    wendaroServer_t* server_ = nullptr;
    qvrClientDev_t* device_ = nullptr;
    testsDlg_t page_;
};

TEST_F(TestsDlgServerWidget, MissingOrWrongScriptEndsInItsErrorReport)
{
    ASSERT_TRUE(writeRawFile(L"C:\\Tests\\Broken.txt", "{ homeX() memory(0, }"));
    const struct {
        int test;
        std::wstring stage;
        std::wstring reportStart;
    } cases[] = {{testsDlgId::targetTest, L"Target Test", L"can't open C:\\Ondrel/Target_Test.txt"},
                 {testsDlgId::customTest, L"Custom Test", L""}};
    page_.setControlText(testsDlgId::testFile, L"C:\\Tests\\Broken.txt");
    for (const auto& c : cases) {
        page_.chooseTest(c.test);
        scriptedMessageBox_t boxes;
        boxes.expect(
            expectedBox_t{c.reportStart, true, std::wstring(L"Error in batch!"), std::nullopt, IDOK});
        batchStage_t stage;
        procedureRuns([&] { page_.runSelectedTest(); },
                      [&](staticBatchDlg_t& dialog) {
                          dialog.start();
                          processEventsUntil([&] { return !dialog.workerRunning(); });
                          stage = dialog.procedure().stage(0);
                          dialog.reject();
                      });
        EXPECT_EQ(stage.name, c.stage);
        EXPECT_EQ(stage.statusText, L"Failed.");
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text.find(c.reportStart), 0u);
        ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 7; }));
    }
}

TEST_F(TestsDlgServerWidget, CubeIsBuiltAndCancelledOnlyOnYes)
{
    const std::wstring cube = std::wstring(slicerFolder) + L"/Cube.zs";
    page_.chooseTest(testsDlgId::cubeTest);
    {
        scriptedMessageBox_t boxes;
        boxes.expect(L"Cannot find " + cube, MB_ICONSTOP, IDOK);
        page_.runSelectedTest();
    }
    std::ifstream shipped(std::string(QVR_DEMO_FOLDER) + "/Cube.zs", std::ios::binary);
    ASSERT_TRUE(writeRawFile(cube, std::string(std::istreambuf_iterator<char>(shipped), {})));
    page_.runSelectedTest();
    simPrinter_t& printer = server_->printer(1);
    ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 1; }));
    EXPECT_EQ(printer.modelInfo().values[0], 298);

    const std::wstring question = L"Are you sure you want to cancel the current block / model?";
    for (const int answer : {IDNO, IDYES}) {
        scriptedMessageBox_t boxes;
        boxes.expect(question, MB_YESNO | MB_ICONQUESTION, answer);
        const std::uint64_t from = printer.trace().mark();
        page_.onCancelTest();
        // Several status polls later the build runs on, or it has ended.
        ASSERT_TRUE(processEventsUntil([&] {
            return printer.trace().count([](const simTraceEntry_t& e) { return e.code == 1; }, from) >= 3;
        }));
        EXPECT_EQ(device_->getMachineState(), answer == IDNO ? 1 : 4);
    }
    // The model left on the table is no build to cancel: no question.
    scriptedMessageBox_t none;
    page_.onCancelTest();
    EXPECT_TRUE(none.shown().empty());
}

}  // namespace
