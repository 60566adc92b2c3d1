// The Run Tests page: which tests the building gate spares, the block test's
// limits, the pens-taking repeat count, what each test shows, and, on the
// simulated printer, the script tests (a missing script ends in its error
// report), the cube and "Cancel Test".
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "machine/textUtils.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/winConstants.h"
#include "procedures/batches/pensTakingTestBatch.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "standins/wendaro/simModelFile.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/testsDlg.h"
#include "tests/support/qt/uiWait.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// A client device that keeps each model hand-over instead of sending it.
class testsPageDevice_t : private testLockHolder_t, public testClientDev_t {
public:
    testsPageDevice_t() : testClientDev_t(HWND(0), testLock) {}
    std::vector<std::wstring> handedOver;
    void sendModelFile(const std::wstring& path, std::int32_t, std::int32_t, const std::wstring&, std::int32_t,
                       std::int32_t, std::int32_t, std::int32_t, const std::wstring&) override
    {
        handedOver.push_back(path);
    }
    void setFlags(std::uint32_t flags)
    {
        lockGuard_t guard(getLock());
        le::putU32(&status.bytes[12], flags);
    }
};

// Runs the action; each progress dialog it opens modally is handed to
// onOpen (which must close it), and the procedures' names are returned.
std::vector<std::wstring> procedureRuns(const std::function<void()>& action,
                                        const std::function<void(staticBatchDlg_t&)>& onOpen)
{
    std::vector<std::wstring> names;
    staticBatchDlg_t* seen = nullptr;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<staticBatchDlg_t*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog == seen)
            return;
        seen = dialog;
        names.push_back(dialog->procedure().name());
        onOpen(*dialog);
    });
    timer.start();
    action();
    return names;
}

void closeAtOnce(staticBatchDlg_t& dialog) { dialog.reject(); }

std::string shipped(const char* name)
{
    std::ifstream in(std::string(QVR_DEMO_FOLDER) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// What each test does from a paused machine (no model on the table), and
// which tests the building gate spares when there is one.
TEST_F(TestsDlgWidget, EachTestRunsItsActionAndTheBuildingGateSparesKnifeAndPens)
{
    struct outcome_t {
        std::wstring procedure;  // the progress dialog's procedure, or empty
        std::vector<int> codes;  // when no procedure runs
        int emptyModelLayers = 0;
        std::wstring box;
    };
    const std::wstring noCube = std::wstring(L"Cannot find ") + defaultSlicerFolder + L"/Cube.zs";
    const struct {
        int test;
        outcome_t outcome;
    } tests[] = {
        {1064, {L"", {132}, 6, L""}},
        {1065, {L"", {132}, 50, L""}},
        {1066, {L"Check Knife", {}, 0, L""}},
        {1067, {L"Pens Taking Test", {}, 0, L""}},
        {1068, {L"Pens Drawing Test", {}, 0, L""}},
        {1069, {L"", {132}, 10, L""}},
        {1070, {L"Target Test", {}, 0, L""}},
        {1071, {L"", {155}, 0, L""}},
        {1072, {L"", {}, 0, noCube}},
        {1073, {L"Custom Test", {}, 0, L""}},
    };
    const struct {
        std::uint32_t flags;
        const wchar_t* refusal;  // null: the machine builds nothing
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
            const bool spared = t.test == 1066 || t.test == 1067;
            const outcome_t expected = machine.refusal == nullptr || spared
                                           ? t.outcome
                                           : outcome_t{L"", {}, 0, machine.refusal};
            scriptedMessageBox_t boxes;
            if (!expected.box.empty())
                boxes.expect(expected.box, MB_ICONSTOP, IDOK);
            const std::vector<std::wstring> runs = procedureRuns([&] { page_.runSelectedTest(); }, closeAtOnce);
            if (!expected.procedure.empty()) {
                EXPECT_EQ(runs, std::vector<std::wstring>{expected.procedure});
                continue;
            }
            EXPECT_TRUE(runs.empty());
            EXPECT_EQ(device_.codes(), expected.codes);
            ASSERT_EQ(device_.handedOver.size(), expected.emptyModelLayers != 0 ? 1u : 0u);
            if (expected.emptyModelLayers != 0) {
                const std::optional<simModelFile_t> model = simModelFile_t::read(device_.handedOver[0]);
                ASSERT_TRUE(model.has_value());
                EXPECT_EQ(model->layers, expected.emptyModelLayers);
            }
        }
    }
}

TEST_F(TestsDlgWidget, EnterRunsTheChosenTestAndEscapeNothing)
{
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::pyramidTest);
    QWidget* edit = dlgItem(&page_, testsDlgId::layers);
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(edit, &press);
    }
    EXPECT_EQ(device_.codes(), std::vector<int>{155});
}

TEST_F(TestsDlgWidget, BlockTestLimits)
{
    const struct {
        const wchar_t* layers;
        const wchar_t* length;
        const wchar_t* refusal;  // null: built with that many layers
        int builtLayers;
    } cases[] = {
        {L"1", L"1", nullptr, 1},
        {L"1998", L"1", nullptr, 1998},
        {L"1998", L"2147", nullptr, 1998},
        {L"0", L"100", L"Invalid number of layers specified.", 0},
        {L"1999", L"100", L"Invalid number of layers specified.", 0},
        {L"", L"100", L"Invalid number of layers specified.", 0},
        {L"10", L"0", L"Invalid model length specified.", 0},
        {L"10", L"-5", L"Invalid model length specified.", 0},
        // Its width in nanometres would not fit in 32 bits.
        {L"10", L"2148", L"Invalid model length specified.", 0},
        {L"10", L"99999999999", L"Invalid model length specified.", 0},
    };
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::blockTest);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << wstrToStr(c.layers) << " x " << wstrToStr(c.length));
        device_.handedOver.clear();
        device_.clearSent();
        page_.setControlText(testsDlgId::layers, c.layers);
        page_.setControlText(testsDlgId::length, c.length);
        {
            scriptedMessageBox_t boxes;
            if (c.refusal != nullptr)
                boxes.expect(c.refusal, MB_ICONSTOP, IDOK);
            page_.runSelectedTest();
        }
        if (c.refusal != nullptr) {
            EXPECT_TRUE(device_.handedOver.empty());
            EXPECT_TRUE(device_.codes().empty());
            continue;
        }
        ASSERT_EQ(device_.handedOver.size(), 1u);
        const std::optional<simModelFile_t> model = simModelFile_t::read(device_.handedOver[0]);
        ASSERT_TRUE(model.has_value());
        EXPECT_EQ(model->layers, c.builtLayers);
    }
}

TEST_F(TestsDlgWidget, RepeatCountIsEightUnlessAboveZero)
{
    const struct {
        const wchar_t* text;
        int loops;
    } cases[] = {{L"", 8}, {L"abc", 8}, {L"0", 8}, {L"-3", 8}, {L"1", 1}, {L"12", 12}, {L" 5", 5}};
    device_.setMachineState(7);
    page_.chooseTest(testsDlgId::pensTakingTest);
    EXPECT_EQ(page_.controlText(testsDlgId::repeats), L"8");
    for (const auto& c : cases) {
        SCOPED_TRACE(wstrToStr(c.text));
        page_.setControlText(testsDlgId::repeats, c.text);
        int loops = -1;
        procedureRuns([&] { page_.runSelectedTest(); },
                      [&](staticBatchDlg_t& dialog) {
                          loops = dynamic_cast<pensTakingTestBatch_t&>(dialog.procedure()).loopCount();
                          dialog.reject();
                      });
        EXPECT_EQ(loops, c.loops);
    }
}

TEST_F(TestsDlgWidget, EachTestShowsItsOwnControls)
{
    const std::vector<int> parameterControls = {1082, 1112, 1081, 1105, 1107, 1106, 1108, 1111, 1109, 1110};
    const struct {
        int test;
        std::vector<int> shown;
    } cases[] = {
        {0, {}},
        {testsDlgId::pensTakingTest, {1082, 1112}},
        {testsDlgId::blockTest, {1081, 1105, 1107, 1106, 1108}},
        {testsDlgId::customTest, {1111, 1109, 1110}},
        {testsDlgId::cuttingKnifeTest, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        if (c.test != 0)
            page_.chooseTest(c.test);
        EXPECT_EQ(page_.chosenTest(), c.test);
        for (const int id : parameterControls)
            EXPECT_EQ(page_.isControlShown(id), std::find(c.shown.begin(), c.shown.end(), id) != c.shown.end()) << id;
    }
    EXPECT_EQ(page_.detailsText(),
              L"Draws a small circle on a peace of media to check the cutting knife.\n\n"
              L"Make sure there is at least 1 ironed layer on the table before starting.\n\n"
              L"Prepare a small peace of media to put underneath the knife when requested.");
    EXPECT_EQ(windowText(dlgItem(&page_, testsDlgId::details)), page_.detailsText());

    fileDialogRequest_t asked;
    setFileDialogHook([&](const fileDialogRequest_t& request) {
        asked = request;
        return std::optional<std::wstring>(L"C:\\Tests\\Feeder.txt");
    });
    page_.onBrowse();
    setFileDialogHook({});
    EXPECT_EQ(asked.filter, L"Test Files (*.TXT)|*.TXT|All Files (*.*)|*.*||");
    EXPECT_EQ(asked.defaultSuffix, L"TXT");
    EXPECT_EQ(page_.controlText(testsDlgId::testFile), L"C:\\Tests\\Feeder.txt");
}

// The machines server stand-in with a printer that builds slowly enough for
// a build to be cancelled while it runs, the slicer's folder in the prefix.
class TestsDlgServerWidget : public prefixTest {
protected:
    static constexpr const wchar_t* slicerFolder = L"C:\\Ondrel";

    void SetUp() override
    {
        ASSERT_TRUE(regWriteString(slicerRegistryKey, slicerDirectoryValueName, slicerFolder, HKEY_LOCAL_MACHINE));
        wendaroConfig_t config;
        config.port = 0;
        wendaroMachineConfig_t machine;
        machine.printer.writeLogs = false;
        machine.printer.actionMs = 0;
        machine.printer.initMs = 0;
        machine.printer.layerMs = 200;
        machine.printer.layerTroublePerMille = 0;
        config.machines.push_back(machine);
        server_ = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server_->start());
        device_ = std::make_unique<qvrClientDev_t>(HWND(0), lock_);
        setCurrentClientDevice(device_.get());
        ASSERT_TRUE(device_->connect(L"localhost", 1, true, server_->port()));
        ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 7; }));
        page_.onInitDialog();
    }
    void TearDown() override
    {
        setCurrentClientDevice(nullptr);
        device_.reset();
        if (server_)
            server_->stop();
    }

    std::unique_ptr<wendaroServer_t> server_;
    sharedLock_t lock_;
    std::unique_ptr<qvrClientDev_t> device_;
    testsDlg_t page_;
};

TEST_F(TestsDlgServerWidget, ScriptTestsEndWithTheirResult)
{
    const struct {
        int test;
        std::wstring file;  // written to this path when not empty
        const char* script;
        bool errorBox;
        int state;
    } cases[] = {
        {testsDlgId::targetTest, L"", nullptr, true, baseStaticBatch_t::failed_e},
        {testsDlgId::customTest, L"C:\\Tests\\Broken.txt", "{ homeX() memory(0, }", true, baseStaticBatch_t::failed_e},
        {testsDlgId::targetTest, std::wstring(slicerFolder) + L"/Target_Test.txt", "", false,
         baseStaticBatch_t::completed_e},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wstrToStr(c.file));
        if (!c.file.empty()) {
            ASSERT_TRUE(writeRawFile(c.file, c.script != nullptr && *c.script != 0 ? std::string(c.script)
                                                                                     : shipped("Target_Test.txt")));
        }
        page_.chooseTest(c.test);
        page_.setControlText(testsDlgId::testFile, c.file);
        scriptedMessageBox_t boxes;
        if (c.errorBox)
            boxes.expect(expectedBox_t{L"", true, std::wstring(L"Error in batch!"), std::nullopt, IDOK});
        int state = -1;
        std::wstring stageName;
        procedureRuns([&] { page_.runSelectedTest(); },
                      [&](staticBatchDlg_t& dialog) {
                          dialog.start();
                          processEventsUntil([&] { return !dialog.workerRunning(); });
                          state = dialog.procedure().stage(0).state;
                          stageName = dialog.procedure().stage(0).name;
                          dialog.reject();
                      });
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(stageName, c.test == testsDlgId::targetTest ? L"Target Test" : L"Custom Test");
        if (c.test == testsDlgId::targetTest && c.errorBox) {
            ASSERT_EQ(boxes.shown().size(), 1u);
            EXPECT_EQ(boxes.shown()[0].text.find(L"can't open C:\\Ondrel/Target_Test.txt"), 0u);
        }
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
    ASSERT_TRUE(writeRawFile(cube, shipped("Cube.zs")));
    page_.runSelectedTest();
    simPrinter_t& printer = server_->printer(1);
    ASSERT_TRUE(processEventsUntil([&] { return device_->getMachineState() == 1; }));
    EXPECT_EQ(printer.modelInfo().values[0], 298);

    const std::wstring question = L"Are you sure you want to cancel the current block / model?";
    {
        scriptedMessageBox_t boxes;
        boxes.expect(question, MB_YESNO | MB_ICONQUESTION, IDNO);
        page_.onCancelTest();
    }
    // Still building a while later: the status polls come and go.
    const std::uint64_t polls = printer.trace().mark();
    ASSERT_TRUE(processEventsUntil([&] {
        return printer.trace().count([](const simTraceEntry_t& e) { return e.code == 1; }, polls) >= 3;
    }));
    EXPECT_EQ(device_->getMachineState(), 1);
    {
        scriptedMessageBox_t boxes;
        boxes.expect(question, MB_YESNO | MB_ICONQUESTION, IDYES);
        page_.onCancelTest();
    }
    ASSERT_TRUE(processEventsUntil([&] { return (device_->getStatus().flags() & 0x4000) != 0; }));
    EXPECT_EQ(device_->getMachineState(), 4);
    // With the model left on the table there is nothing to cancel: no question.
    scriptedMessageBox_t none;
    page_.onCancelTest();
    EXPECT_TRUE(none.shown().empty());
}

}  // namespace
