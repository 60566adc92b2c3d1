#include "machine/machineParam.h"
#include "procedures/batches/batchDialogs.h"
#include "procedures/batches/calibrateToolsBatch.h"
#include "procedures/batches/calibrateTrimBatch.h"
#include "procedures/batches/calibrateZabsZero.h"
#include "procedures/batches/checkKnifeBatch.h"
#include "procedures/batches/feederEncoderTest.h"
#include "procedures/batches/pensDrawingTestBatch.h"
#include "procedures/batches/pensTakingTestBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/batches/commandBytes.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using stage_t = std::pair<int, int>;  // posted (stage, state)

enum class kind_e { pensTaking_e, knife_e, pensDrawing_e };

// What the progress window shows through a completed run (stageWindow_t::
// recordShown): each stage in progress, the texts it writes meanwhile, and
// its result.
struct shownStage_t {
    std::wstring name;
    std::vector<std::wstring> progress = {};
    std::wstring result = L"Completed.";
};
std::vector<std::wstring> shownThrough(const std::vector<shownStage_t>& stages)
{
    std::vector<std::wstring> shown;
    for (const shownStage_t& stage : stages) {
        shown.push_back(stage.name + L": In Progress...");
        for (const std::wstring& text : stage.progress)
            shown.push_back(stage.name + L": " + text);
        shown.push_back(stage.name + L": " + stage.result);
    }
    return shown;
}

std::unique_ptr<baseStaticBatch_t> make(kind_e kind)
{
    switch (kind) {
    case kind_e::pensTaking_e:
        return std::make_unique<pensTakingTestBatch_t>(2);
    case kind_e::knife_e: {
        auto knife = std::make_unique<checkKnifeBatch_t>();
        knife->setCountdownStep(10);
        return knife;
    }
    case kind_e::pensDrawing_e:
        return std::make_unique<pensDrawingTestBatch_t>();
    }
    return nullptr;
}

}  // namespace

class calibrationBatchesThreadsTest : public batchMachineThreadsTest {
protected:
    void SetUp() override
    {
        batchMachineThreadsTest::SetUp();
        batchDialogs_t dialogs;
        dialogs.chooseTrimNumber = [this](HWND, int maximum, int initial, int& chosen) {
            chooserCalls_.push_back({maximum, initial});
            chosen = chooserAnswer_;
            return chooserAnswer_ > 0;
        };
        // The wait window: the technician presses RESUME (or cancels), and
        // the window closes once the machine left state 5.
        dialogs.waitForResume = [this](HWND, qvrClientDev_t*) {
            if (!pressResume_)
                return;
            printer().pressResume();
            waitUntil([&] { return device().getMachineState() != 5; });
        };
        setBatchDialogs(dialogs);
    }
    void TearDown() override
    {
        clearBatchDialogs();
        batchMachineThreadsTest::TearDown();
    }

    void readyMachine()
    {
        printer().clearFaults();
        printer().clearError();
        ASSERT_TRUE(enterTechnicianMode());
        ASSERT_TRUE(waitUntil([&] { return device().getStatus().errorNumber() == 0; }));
        // What the previous run queued without waiting has run and been
        // answered: two status polls answered after it.
        ASSERT_TRUE(waitUntil([&] { return printer().actionsIdle(); }));
        const std::uint64_t from = mark();
        ASSERT_TRUE(waitUntil([&] {
            int polls = 0;
            for (const simTraceEntry_t& e : printer().trace().since(from))
                polls += e.kind == simTraceEntry_t::kind_e::replyOut_e && e.code == 1 ? 1 : 0;
            return polls >= 2;
        }));
    }

    std::int32_t param(const wchar_t* name)
    {
        const machineParam_t* p = device().findParameter(-1, name);
        return p != nullptr ? device().getParamValue(*p) : 0;
    }

    std::vector<stage_t> drive(baseStaticBatch_t& batch, const std::function<void(int, int)>& onPost = {})
    {
        return batchMachineThreadsTest::drive(batch, window_, onPost);
    }

    stageWindow_t window_;
    int chooserAnswer_ = 7;
    bool pressResume_ = true;
    std::vector<std::pair<int, int>> chooserCalls_;
};

// The search and the measurement report their results in the machine
// information, which the device fetches with its regular polls (command 12
// with every third status poll); a search or a measurement outlasts three
// polls, so the record read after the status request that follows is fresh.
// Before the runs the device holds other values: the head where it stands,
// the height of the factory table.
class calibrationPollsThreadsTest : public calibrationBatchesThreadsTest {
protected:
    void configure(simPrinterConfig_t& printer) override { printer.sensingActions = 100; }
};

TEST_F(calibrationPollsThreadsTest, CalibrationsReadTheFreshResults)
{
    readyMachine();
    {
        calibrateToolsBatch_t tools;
        scriptedMessageBox_t boxes;
        boxes.expect(L"Move the XY bridge to the middle tool, and go up as much as possible. Don't return the taken "
                     L"tool.",
                     MB_OKCANCEL | MB_ICONINFORMATION, IDOK)
            .expect(L"New values for the first tool XY paramter will be: X=3.86mm, Y=384.44mm. Save those values in "
                    L"the machine?",
                    MB_YESNO | MB_ICONQUESTION, IDYES);
        EXPECT_EQ(drive(tools).back(), (stage_t{6, -1}));
        EXPECT_EQ(param(L"First Tool X"), 3862280);
        EXPECT_EQ(param(L"First Tool Y"), 384442440);
    }
    readyMachine();
    {
        printer().setTableZero(142000000);
        calibrateZabsZero_t zero;
        scriptedMessageBox_t boxes;
        boxes.expect(L"Z Abs Zero will be set to 142mm.", MB_OKCANCEL | MB_ICONINFORMATION, IDOK);
        EXPECT_EQ(drive(zero).back(), (stage_t{1, -1}));
        EXPECT_EQ(param(L"Z Abs Zero"), 142000000);
    }
}

// A re-start waits again for the machine's status reply (withheld here),
// even when the previous run's reply is still signalled.
TEST_F(calibrationBatchesThreadsTest, TrimRestartWaitsForItsOwnStatusReply)
{
    readyMachine();
    calibrateTrimBatch_t trim;
    trim.setSecondEventLimit(3000);
    trim.secondEvent().set();
    simFaultRule_t rule;
    rule.code = 19;
    rule.action = simFaultRule_t::action_e::noReply_e;
    printer().addFault(rule);
    scriptedMessageBox_t boxes;
    boxes.expect(calibrateTrimBatch_t::firstTrimQuestion, MB_OKCANCEL | MB_ICONINFORMATION, IDOK);
    chooserAnswer_ = 5;
    trim.resetForStart();
    trim.secondEvent().set();  // even a reply left after the start's reset
    const std::vector<stage_t> posted = drive(trim);
    EXPECT_EQ(posted.back(), (stage_t{4, 1}));
    EXPECT_EQ(trim.stage(4).statusText, L"Failed.");
}

TEST(calibrationBatchesTest, TrimChooserStartsAtTheLineTheValueWasDrawnBy)
{
    struct case_t {
        std::int32_t trimY;
        int number;
    };
    const std::vector<case_t> cases = {
        {-600000 + 200000, 1},   {-600000 + 7 * 200000, 7}, {-600000 + 14 * 200000, 14},
        {-600000 + 7 * 200000 + 199999, 7},  // between two lines: the lower
        {-400000, 1},            {-2000000, 1},            {std::numeric_limits<std::int32_t>::min(), 1},
        {2600000, 14},           {std::numeric_limits<std::int32_t>::max(), 14},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(calibrateTrimBatch_t::initialNumber(c.trimY), c.number) << c.trimY;
    for (int n = 1; n <= 14; ++n)
        EXPECT_EQ(calibrateTrimBatch_t::initialNumber(calibrateTrimBatch_t::trimYForNumber(n)), n);
}

namespace {

struct box_t {
    std::wstring text;
    unsigned style;
    int answer;
};

// One run of a calibration and everything it sends, written from what the
// procedure is meant to do.
struct calibrationCase_t {
    const char* what = "";
    std::vector<box_t> boxes = {};  // in order, whole texts
    int cancelAt = -1;              // the progress window's Cancel as this stage goes in progress
    int errorOn = 0;                // the printer fails this command (error 7)
    int chooser = 9;                // trim: the line chosen, 0 cancels the chooser
    std::int32_t height = 0;        // Z abs zero: the height the sensor finds (nm)
    commandList_t sent = {};        // everything, in order, the clean-up included
    int stage = 0;                  // the stage that ends the run (the stage count: completed)
    int state = -1;                 // its state (-1: completed)
    std::vector<std::wstring> shown = {};  // a completed run: what its window showed
};

constexpr unsigned okInfo = MB_OKCANCEL | MB_ICONINFORMATION;
const commandBytes_t returnTool = cmd(141, {0});
const commandBytes_t homeXY = cmd(130, {0});
const commandBytes_t homeFeeder = cmd(130, {4});
const commandBytes_t unhook = cmd(151, {0});
const commandBytes_t hook = cmd(151, {1});
const commandBytes_t measure = cmd(139, {1});
const commandBytes_t statusRequest = cmd(147);

}  // namespace

// The calibrations against a printer with quick moves; the device's status
// polls are stopped for each run, so every command the printer receives is
// the procedure's own.
class calibrationTablesThreadsTest : public calibrationBatchesThreadsTest {
protected:
    void configure(simPrinterConfig_t& printer) override { printer.actionMs = 5; }

    // The previous run's packets have all been answered (commandsSince).
    void startCase()
    {
        device().setPollInterval(qvrCommDev_t::defaultPollInterval);
        printer().clearFaults();
        printer().clearError();
        ASSERT_TRUE(enterTechnicianMode());
        ASSERT_TRUE(waitUntil([&] { return device().getStatus().errorNumber() == 0; }));
        chooserCalls_.clear();
    }

    // The machine information the procedure will read: the device asks for
    // it (12) once the printer holds the result; with the polls stopped
    // nothing else brings it during the run.
    void fetchMachineInfo(const std::function<bool(const machineInfo_t&)>& arrived)
    {
        device().sendCommand(12);
        ASSERT_TRUE(waitUntil([&] { return arrived(device().getMachineInfo()); }));
    }

    // `results`: the texts of completed stages other than "Completed.".
    void run(baseStaticBatch_t& batch, const calibrationCase_t& c, const std::map<int, std::wstring>& results = {})
    {
        if (c.errorOn != 0)
            failNextCommand(c.errorOn);
        scriptedMessageBox_t boxes;
        for (const box_t& box : c.boxes)
            boxes.expect(expectedBox_t{box.text, false, batch.name(), box.style, box.answer});
        chooserAnswer_ = c.chooser;
        window_.onStage(c.cancelAt, baseStaticBatch_t::inProgress_e, 1, [&] { batch.abortEvent().set(); });
        window_.recordShown(&batch);
        const std::uint64_t from = stopPollsAndMark();
        const std::vector<stage_t> posted = drive(batch);
        window_.onStage(-1, 0, 0, {});
        const std::vector<std::wstring> shown = window_.takeShown();
        window_.recordShown(nullptr);
        if (!c.shown.empty()) {
            EXPECT_EQ(shown, c.shown);
        }
        EXPECT_EQ(asLines(commandsSince(from)), asLines(c.sent));
        EXPECT_EQ(boxes.shown().size(), c.boxes.size());
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back(), (stage_t{c.stage, c.state}));
        for (int i = 0; i < batch.stageCount(); ++i) {
            const batchStage_t stage = batch.stage(i);
            if (i < c.stage) {
                const auto result = results.find(i);
                EXPECT_EQ(stage.state, 0) << i;
                EXPECT_EQ(stage.statusText, result != results.end() ? result->second : L"Completed.") << i;
            } else if (i == c.stage) {
                EXPECT_EQ(stage.state, c.state) << i;
                EXPECT_EQ(stage.statusText, c.state == 1 ? L"Failed." : L"Aborted.") << i;
            } else {
                EXPECT_EQ(stage.state, baseStaticBatch_t::pendingState) << i;
            }
        }
    }
};

TEST_F(calibrationTablesThreadsTest, ToolsCalibrationSendsItsCommandsInOrder)
{
    const std::wstring position =
        L"Move the XY bridge to the middle tool, and go up as much as possible. Don't return the taken tool.";
    const std::wstring save =
        L"New values for the first tool XY paramter will be: X=3.86mm, Y=384.44mm. Save those values in the machine?";
    const commandList_t findHome = {cmd(131, {0, 2}), cmd(131, {1, 2}), homeXY};
    const commandList_t motorsOff = {cmd(131, {0, 0}), cmd(131, {1, 0})};
    const commandList_t takeMiddle = {cmd(140, {5, 1})};
    const commandList_t search = {cmd(159), statusRequest};
    // The search finds the head 1090 steps of 21892 nm (X) and 16840 of
    // 22841 nm (Y) from home: 23.86228 and 384.64244 mm. First Tool X =
    // X - 20 mm, First Tool Y = Y - 0.2 mm (parameters 40 and 41).
    const commandList_t update = {cmd(3, {i16(40 * 4), i32(3862280), 1, 0}),
                                  cmd(3, {i16(41 * 4), i32(384442440), 1, 0})};
    const commandList_t takeTest = {returnTool, cmd(140, {4, 0}), cmd(140, {5, 0}),
                                    cmd(140, {6, 0}), returnTool};
    const commandList_t motorsOn = {cmd(131, {0, 2}), cmd(131, {1, 2})};
    const std::vector<calibrationCase_t> cases = {
        {.what = "completed",
         .boxes = {{position, okInfo, IDOK}, {save, MB_YESNO | MB_ICONQUESTION, IDYES}},
         .sent = join({findHome, motorsOff, takeMiddle, search, update, takeTest}),
         .stage = 6,
         .shown = shownThrough({{L"Find XY Home"},
                                {L"Turn Off XY Motors"},
                                {L"Manual XY Positioning"},
                                {L"Search XY Home Sensors", {}, L"Completed - X=23.86mm, Y=384.64mm"},
                                {L"Update Parameters", {}, L"Completed. First tool X=3.86mm, Y=384.44mm"},
                                {L"Take Tool Test"}})},
        {.what = "Cancel as Find XY Home starts",
         .cancelAt = 0,
         .sent = join({{findHome[0]}, motorsOn}),
         .stage = 0,
         .state = 2},
        {.what = "Cancel as Turn Off XY Motors starts",
         .cancelAt = 1,
         .sent = join({findHome, {motorsOff[0]}, motorsOn}),
         .stage = 1,
         .state = 2},
        {.what = "Cancel at the positioning",
         .boxes = {{position, okInfo, IDCANCEL}},
         .sent = join({findHome, motorsOff, motorsOn}),
         .stage = 2,
         .state = 2},
        {.what = "Cancel as the search starts",
         .boxes = {{position, okInfo, IDOK}},
         .cancelAt = 3,
         .sent = join({findHome, motorsOff, takeMiddle, {search[0]}, motorsOn}),
         .stage = 3,
         .state = 2},
        {.what = "error in the search",
         .boxes = {{position, okInfo, IDOK}},
         .errorOn = 159,
         .sent = join({findHome, motorsOff, takeMiddle, {search[0]}, motorsOn}),
         .stage = 3,
         .state = 1},
        {.what = "No to saving",
         .boxes = {{position, okInfo, IDOK}, {save, MB_YESNO | MB_ICONQUESTION, IDNO}},
         .sent = join({findHome, motorsOff, takeMiddle, search, motorsOn}),
         .stage = 4,
         .state = 2},
        {.what = "Cancel as the take tool test starts",
         .boxes = {{position, okInfo, IDOK}, {save, MB_YESNO | MB_ICONQUESTION, IDYES}},
         .cancelAt = 5,
         .sent = join({findHome, motorsOff, takeMiddle, search, update, {returnTool}, motorsOn}),
         .stage = 5,
         .state = 2},
    };
    for (const calibrationCase_t& c : cases) {
        SCOPED_TRACE(c.what);
        startCase();
        // The technician leaves the head by the middle tool with the motors
        // off; the device already holds what a search from there reports.
        device().sendCommandWait(131, 1, 0, 1, 0);
        device().sendCommandWait(131, 1, 1, 1, 0);
        device().sendCommandWait(159);
        fetchMachineInfo(
            [](const machineInfo_t& info) { return info.xHeadSteps() == 1090 && info.yHeadSteps() == 16840; });
        calibrateToolsBatch_t tools;
        run(tools, c, {{3, L"Completed - X=23.86mm, Y=384.64mm"}, {4, L"Completed. First tool X=3.86mm, Y=384.44mm"}});
    }
}

TEST_F(calibrationTablesThreadsTest, TrimCalibrationSendsItsCommandsInOrder)
{
    const std::wstring firstTrim = L"Trim the layer manually, and press OK to resume.";
    const std::wstring remove =
        L"Trim the layer manually, and remove the layers from the table. Press OK to build a small testing block.";
    // Not homed, iron hooked at the start; a 90 mm layer.
    const commandList_t ironFirst = {homeXY, unhook, cmd(14, {i32(90000000)}), measure, cmd(144), cmd(142, {0})};
    const commandList_t ironFirstEnd = {homeFeeder, measure};
    const commandList_t ironSecond = {cmd(144), cmd(142, {1})};
    // Fourteen lines 14 mm apart in X and 0.2 mm in Y, each drawn 12.5 mm
    // long; the labels of lines 4, 8 and 12. Taking the tool again before a
    // label is a packet equal to one still waiting in the device's queue
    // (the one before label 4), which the queue refuses: only two 140 go out.
    commandList_t draw = {cmd(140, {0, 1})};
    for (int i = 1; i <= 14; ++i) {
        const std::int32_t x = 28000000 + (i - 1) * 14000000;
        const std::int32_t y = 30850000 + (i - 1) * 200000;
        draw.push_back(cmd(135, {i32(x), i32(y)}));
        draw.push_back(cmd(150, {1, i}));
        draw.push_back(cmd(135, {i32(x + 12500000), i32(y)}));
        draw.push_back(cmd(150, {0, i}));
    }
    draw.push_back(cmd(140, {0, 1}));
    draw.push_back(cmd(162, {i32(74000000), i32(41450000), 100, 1, '4'}));
    draw.push_back(cmd(162, {i32(130000000), i32(42250000), 100, 1, '8'}));
    draw.push_back(cmd(162, {i32(184000000), i32(43050000), 100, 2, '1', '2'}));
    draw.push_back(cmd(154));
    draw.push_back(cmd(19));
    // Line 9: "Trim Y initial" (parameter 51) = 9 x 0.2 mm - 0.6 mm.
    const commandList_t chosen = {cmd(3, {i16(51 * 4), i32(1200000), 1, 0})};
    const commandList_t trimLayer = {hook, cmd(129, {1, i32(300000000)})};
    const commandList_t trimLayerEnd = {homeFeeder, unhook};
    const commandList_t test = {measure, cmd(145), cmd(145)};
    // The bridge to End Model Pos X and First Tool Y - 30 mm.
    const commandList_t cleanUp = {unhook, cmd(141), cmd(135, {i32(255000000), i32(354442440)})};
    const std::vector<box_t> bothQuestions = {{firstTrim, okInfo, IDOK}, {remove, okInfo, IDOK}};
    const std::vector<calibrationCase_t> cases = {
        {.what = "completed",
         .boxes = bothQuestions,
         .sent = join({ironFirst, ironFirstEnd, ironSecond, draw, chosen, trimLayer, trimLayerEnd, test}),
         .stage = 6,
         .shown = shownThrough({{L"Iron First Layer"},
                                {L"Iron Second Layer"},
                                {L"Draw Lines & Numbers"},
                                {L"Choose Number", {}, L"Trim Y = 1.200000"},
                                {L"Trim Layer"},
                                {L"2-Layers Test"}})},
        {.what = "Cancel at the first trim",
         .boxes = {{firstTrim, okInfo, IDCANCEL}},
         .sent = join({ironFirst, cleanUp}),
         .stage = 0,
         .state = 2},
        {.what = "error while ironing",
         .errorOn = 144,
         .sent = join({{ironFirst.begin(), ironFirst.end() - 1}, cleanUp}),
         .stage = 0,
         .state = 1},
        {.what = "Cancel as the second layer starts",
         .boxes = {{firstTrim, okInfo, IDOK}},
         .cancelAt = 1,
         .sent = join({ironFirst, ironFirstEnd, {ironSecond[0]}, cleanUp}),
         .stage = 1,
         .state = 2},
        {.what = "Cancel as the drawing starts",
         .boxes = {{firstTrim, okInfo, IDOK}},
         .cancelAt = 2,
         .sent = join({ironFirst, ironFirstEnd, ironSecond, draw, cleanUp}),
         .stage = 2,
         .state = 2},
        {.what = "chooser cancelled",
         .boxes = {{firstTrim, okInfo, IDOK}},
         .chooser = 0,
         .sent = join({ironFirst, ironFirstEnd, ironSecond, draw, cleanUp}),
         .stage = 3,
         .state = 2},
        {.what = "Cancel at the second trim",
         .boxes = {{firstTrim, okInfo, IDOK}, {remove, okInfo, IDCANCEL}},
         .sent = join({ironFirst, ironFirstEnd, ironSecond, draw, chosen, trimLayer, cleanUp}),
         .stage = 4,
         .state = 2},
        {.what = "Cancel as the test block starts",
         .boxes = bothQuestions,
         .cancelAt = 5,
         .sent = join(
             {ironFirst, ironFirstEnd, ironSecond, draw, chosen, trimLayer, trimLayerEnd, {measure}, cleanUp}),
         .stage = 5,
         .state = 2},
    };
    for (const calibrationCase_t& c : cases) {
        SCOPED_TRACE(c.what);
        startCase();
        setDeviceParam(L"Trim Y initial", 1500000);
        setDeviceParam(L"End Model Pos X", 255000000);
        setDeviceParam(L"First Tool Y", 384442440);
        device().sendCommandWait(131, 1, 0, 1, 0);
        device().sendCommandWait(131, 1, 0, 1, 2);
        device().sendCommandWait(151, 1, 1);
        ASSERT_TRUE(waitUntil([&] {
            return !device().isAxisFlagSet(0) && device().getStatus().hasFlag(machineStatus_t::flagIronHooked);
        }));
        calibrateTrimBatch_t trim;
        trim.setSecondEventLimit(20000);
        run(trim, c, {{3, L"Trim Y = 1.200000"}});
        const bool chose = c.chooser > 0 && c.stage > 3;
        // The chooser starts at the line that drew 1.5 mm: line 10.
        EXPECT_EQ(chooserCalls_, (chose || c.chooser == 0 ? std::vector<std::pair<int, int>>{{14, 10}}
                                                          : std::vector<std::pair<int, int>>{}));
        EXPECT_EQ(param(L"Trim Y initial"), chose ? 1200000 : 1500000);
    }
}

TEST_F(calibrationTablesThreadsTest, ZAbsZeroSendsItsCommandsInOrder)
{
    const unsigned refused = MB_OK | MB_ICONERROR;
    // "Z Abs Zero" is parameter 23; the range's ends are accepted.
    const std::vector<calibrationCase_t> cases = {
        {.what = "142 mm",
         .boxes = {{L"Z Abs Zero will be set to 142mm.", okInfo, IDOK}},
         .height = 142000000,
         .sent = {measure, statusRequest, cmd(3, {i16(23 * 4), i32(142000000), 1, 0})},
         .stage = 1,
         .shown = shownThrough({{L"Find Absolute Zero"}})},
        {.what = "148 mm",
         .boxes = {{L"Z Abs Zero will be set to 148mm.", okInfo, IDOK}},
         .height = 148000000,
         .sent = {measure, statusRequest, cmd(3, {i16(23 * 4), i32(148000000), 1, 0})},
         .stage = 1},
        {.what = "just below",
         .boxes = {{L"Detected Z Abs Zero is out of the allowed values (141.999mm.)", refused, IDOK}},
         .height = 141999000,
         .sent = {measure, statusRequest},
         .stage = 0,
         .state = 1},
        {.what = "just above",
         .boxes = {{L"Detected Z Abs Zero is out of the allowed values (148.001mm.)", refused, IDOK}},
         .height = 148001000,
         .sent = {measure, statusRequest},
         .stage = 0,
         .state = 1},
        {.what = "Cancel",
         .boxes = {{L"Z Abs Zero will be set to 145.9mm.", okInfo, IDCANCEL}},
         .height = 145900000,
         .sent = {measure, statusRequest},
         .stage = 0,
         .state = 2},
        {.what = "error in the measurement",
         .errorOn = 139,
         .height = 145900000,
         .sent = {measure},
         .stage = 0,
         .state = 1},
    };
    for (const calibrationCase_t& c : cases) {
        SCOPED_TRACE(c.what);
        startCase();
        setDeviceParam(L"Z Abs Zero", 145000000);
        printer().setTableZero(c.height);
        device().sendCommandWait(139, 1, 1);
        fetchMachineInfo([&](const machineInfo_t& info) { return info.zHeight() == c.height; });
        calibrateZabsZero_t zero;
        run(zero, c);
        EXPECT_EQ(param(L"Z Abs Zero"), c.state == -1 ? c.height : 145000000);
    }
}

// The test procedures' whole conversation with the printer, from a machine
// that is homed with the iron unhooked (or, for the completed runs, neither):
// every command of every stage, and the clean-up after a Cancel at each
// stage, a closed wait window or a machine error.
TEST_F(calibrationBatchesThreadsTest, TestProceduresSendTheirWholeConversation)
{
    constexpr int loops = 2;
    const commandBytes_t returnPen = cmd(141, {0});
    // Pens taking.
    const commandList_t takeEachPen = {cmd(140, {4, 0}), cmd(140, {5, 0}), cmd(140, {6, 0})};
    // Knife check: the bridge at the first circle position, 125 mm, Y 80 mm;
    // after RESUME (state 7) back into state 5; the knife; a 10 mm circle;
    // the bridge 100 mm away from its stop.
    const commandList_t toKnifeStop = {cmd(135, {i32(125000000), i32(80000000)})};
    const commandList_t backToState5 = {cmd(4), cmd(146), cmd(1)};
    const commandList_t cutCircle = {cmd(150, {1}), cmd(136, {i32(10000000), i16(0), i16(360)}), returnPen};
    const commandList_t knifeCleanUp = {returnPen, cmd(134, {i32(0), i32(100000000)})};
    // Pens drawing: a 180 mm layer ironed, then each pen's figure at its x0.
    const commandList_t ironLayer = {cmd(14, {i32(180000000)}), cmd(139, {1}), cmd(144), cmd(142, {1}),
                                     cmd(143)};
    auto figure = [](int tool, std::int32_t x0) {
        const std::int32_t mm = 1000000;
        commandList_t sent = {cmd(140, {tool, 0})};
        const std::int32_t strokes[4][4] = {{x0 - 5 * mm, 30 * mm, x0 + 25 * mm, 30 * mm},
                                            {x0 + 25 * mm, 40 * mm, x0 - 5 * mm, 40 * mm},
                                            {x0, 50 * mm, x0, 80 * mm},
                                            {x0 + 10 * mm, 80 * mm, x0 + 10 * mm, 50 * mm}};
        for (const auto& s : strokes) {
            sent.push_back(cmd(135, {i32(s[0]), i32(s[1])}));
            sent.push_back(cmd(150, {1}));
            sent.push_back(cmd(135, {i32(s[2]), i32(s[3])}));
            sent.push_back(cmd(150, {0}));
        }
        return sent;
    };
    const commandList_t homeAndUnhook = {cmd(130, {0}), cmd(151, {0})};
    const commandBytes_t takeKnife = cmd(140, {0, 0});
    const commandList_t knifeDown = {takeKnife, cmd(150, {1})};

    struct case_t {
        const char* what;
        kind_e kind;
        bool homed;               // else the XY axis not homed and the iron hooked
        int cancelStage;          // -1: none; else Cancel when this stage shows cancelText
        const wchar_t* cancelText;
        int errorOnCode;          // 0: none; else the printer fails this command
        bool resume;              // the knife's wait window ends by RESUME, else it is closed
        commandList_t sent;
        stage_t end;              // the last stage change posted
    };
    const wchar_t* const started = L"In Progress...";
    // What a completed run of each showed: the loops counted to the last,
    // the pause counted down to its last second.
    const std::map<kind_e, std::vector<std::wstring>> shown = {
        {kind_e::pensTaking_e,
         shownThrough({{L"Preperations"}, {L"Pens Taking Test", {L"1/2 Loops Done", L"2/2 Loops Done"}}})},
        {kind_e::knife_e,
         shownThrough({{L"Move XY Bridge"},
                       {L"4 Seconds Pause",
                        {L"4 Seconds Left...", L"3 Seconds Left...", L"2 Seconds Left...", L"1 Second Left..."}},
                       {L"Draw Circle"},
                       {L"Distance XY Bridge", {L"Press RESUME..."}}})},
        {kind_e::pensDrawing_e, shownThrough({{L"Iron Layer"}, {L"Pens Drawing Test"}})},
    };
    const std::vector<case_t> cases = {
        {"pens taking completed", kind_e::pensTaking_e, false, -1, nullptr, 0, true,
         join({homeAndUnhook, {returnPen}, times(loops, takeEachPen), {returnPen}}), {2, -1}},
        {"pens taking, Cancel in the preparations", kind_e::pensTaking_e, true, 0, started, 0, true,
         {returnPen, returnPen}, {0, 2}},
        {"pens taking, Cancel in the loops", kind_e::pensTaking_e, true, 1, started, 0, true,
         {returnPen, takeEachPen[0], returnPen}, {1, 2}},
        {"pens taking, error taking a pen", kind_e::pensTaking_e, true, -1, nullptr, 140, true,
         {returnPen, takeEachPen[0], returnPen}, {1, 1}},

        {"knife completed", kind_e::knife_e, false, -1, nullptr, 0, true,
         join({{returnPen, cmd(130, {0})}, toKnifeStop, backToState5, {takeKnife}, cutCircle, knifeCleanUp}),
         {4, -1}},
        {"knife, Cancel while moving the bridge", kind_e::knife_e, true, 0, started, 0, true,
         {returnPen, returnPen}, {0, 2}},
        {"knife, wait window closed", kind_e::knife_e, true, -1, nullptr, 0, false,
         join({{returnPen}, toKnifeStop, {returnPen}}), {1, 2}},
        {"knife, Cancel in the countdown", kind_e::knife_e, true, 1, L"4 Seconds Left...", 0, true,
         join({{returnPen}, toKnifeStop, backToState5, {returnPen}}), {1, 2}},
        {"knife, Cancel while drawing", kind_e::knife_e, true, 2, started, 0, true,
         join({{returnPen}, toKnifeStop, backToState5, knifeDown, knifeCleanUp}), {2, 2}},
        {"knife, error on the knife down", kind_e::knife_e, true, -1, nullptr, 150, true,
         join({{returnPen}, toKnifeStop, backToState5, knifeDown, knifeCleanUp}), {2, 1}},
        // Cancel instead of the last RESUME ends the check as RESUME does.
        {"knife, Cancel at the last RESUME", kind_e::knife_e, true, 3, L"Press RESUME...", 0, true,
         join({{returnPen}, toKnifeStop, backToState5, {takeKnife}, cutCircle, knifeCleanUp}), {4, -1}},

        {"pens drawing completed", kind_e::pensDrawing_e, false, -1, nullptr, 0, true,
         join({homeAndUnhook, ironLayer, figure(6, 35000000), figure(5, 80000000), figure(4, 125000000),
               {returnPen}}),
         {2, -1}},
        {"pens drawing, Cancel while ironing", kind_e::pensDrawing_e, true, 0, started, 0, true,
         {ironLayer[0], ironLayer[1], cmd(141)}, {0, 2}},
        {"pens drawing, Cancel while drawing", kind_e::pensDrawing_e, true, 1, started, 0, true,
         join({ironLayer, {cmd(140, {6, 0}), cmd(141)}}), {1, 2}},
        {"pens drawing, error trimming", kind_e::pensDrawing_e, true, -1, nullptr, 143, true,
         join({ironLayer, {cmd(141)}}), {0, 1}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        readyMachine();
        if (c.homed) {
            device().sendCommandWait(130, 1, 0);
            device().sendCommandWait(151, 1, 0);
        } else {
            device().sendCommandWait(131, 1, 0, 1, 0);  // the X motor off and on: not homed
            device().sendCommandWait(131, 1, 0, 1, 2);
            device().sendCommandWait(151, 1, 1);
        }
        ASSERT_TRUE(waitUntil([&] {
            return device().isAxisFlagSet(0) == c.homed &&
                   device().getStatus().hasFlag(machineStatus_t::flagIronHooked) == !c.homed;
        }));
        std::unique_ptr<baseStaticBatch_t> batch = make(c.kind);
        if (c.errorOnCode != 0)
            failNextCommand(c.errorOnCode);
        pressResume_ = c.resume;
        window_.onStage(
            [&](int stage, int state) {
                return stage == c.cancelStage && state == baseStaticBatch_t::inProgress_e &&
                       batch->stage(stage).statusText == c.cancelText;
            },
            [&] { batch->abortEvent().set(); });
        window_.recordShown(batch.get());
        const std::size_t from = sentCommandsMark();
        const std::vector<stage_t> posted = drive(*batch, [&](int stage, int state) {
            // The knife check's last stage waits for RESUME once more.
            if (c.cancelStage != 3 && c.kind == kind_e::knife_e && stage == 3 &&
                state == baseStaticBatch_t::inProgress_e && batch->stage(3).statusText == L"Press RESUME...")
                printer().pressResume();
        });
        window_.onStage({}, {});
        if (c.end.second == -1) {
            EXPECT_EQ(window_.takeShown(), shown.at(c.kind));
        }
        window_.recordShown(nullptr);
        EXPECT_EQ(asLines(sentCommandsSince(from)), asLines(c.sent));
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back(), c.end);
        for (int i = 0; i < batch->stageCount(); ++i) {
            const batchStage_t stage = batch->stage(i);
            if (i < c.end.first)
                EXPECT_EQ(stage.state, 0) << i;
            else if (i == c.end.first)
                EXPECT_EQ(stage.statusText, c.end.second == 1 ? L"Failed." : L"Aborted.") << i;
            else
                EXPECT_EQ(stage.state, baseStaticBatch_t::pendingState) << i;
        }
    }
    pressResume_ = true;
}

// Seven checks in one window cut at seven X positions; the eighth is back at
// 125 mm.
TEST_F(calibrationBatchesThreadsTest, KnifeChecksMoveOnThroughSevenPositions)
{
    checkKnifeBatch_t knife;
    knife.setCountdownStep(10);
    std::vector<std::int32_t> xs;
    for (int run = 0; run < 8; ++run) {
        SCOPED_TRACE(run);
        readyMachine();
        const std::size_t from = sentCommandsMark();
        knife.resetForStart();
        const std::vector<stage_t> posted = drive(knife, [&](int stage, int state) {
            if (stage == 3 && state == baseStaticBatch_t::inProgress_e &&
                knife.stage(3).statusText == L"Press RESUME...")
                printer().pressResume();
        });
        ASSERT_EQ(posted.back(), (stage_t{4, -1}));
        for (const std::vector<std::uint8_t>& sent : sentCommandsSince(from))
            if (sent[0] == 135)
                xs.push_back(static_cast<std::int32_t>(sent[1] | sent[2] << 8 | sent[3] << 16 |
                                                       static_cast<std::uint32_t>(sent[4]) << 24));
    }
    EXPECT_EQ(xs, (std::vector<std::int32_t>{125000000, 100000000, 150000000, 75000000, 175000000, 50000000,
                                             200000000, 125000000}));
}

TEST_F(calibrationBatchesThreadsTest, FeederEncoderShareAndColour)
{
    const std::vector<std::pair<double, bool>> colours = {
        {50.0, true}, {30.0, false}, {31.0, true}, {69.0, true}, {70.0, false}, {0.0, false}, {100.0, false}};
    for (const auto& [result, good] : colours)
        EXPECT_EQ(feederEncoderTest_t::isGood(result), good) << result;

    for (const std::uint32_t mask : {feederEncoderTest_t::encoderMask, feederEncoderTest_t::pvcMask}) {
        SCOPED_TRACE(mask);
        readyMachine();
        queueWindow_t window;
        feederEncoderTest_t test(&device(), window.handle());
        EXPECT_EQ(test.start(mask), feederEncoderTest_t::start_e::started_e);
        EXPECT_EQ(test.start(mask), feederEncoderTest_t::start_e::alreadyStarted_e);
        ASSERT_TRUE(window.waitForMessage(WM_APP, 20s));
        EXPECT_EQ(test.result(mask), 50.0);
        // The worker ends by itself once the machine leaves state 5.
        ASSERT_TRUE(leaveTechnicianMode());
        EXPECT_TRUE(waitUntil([&] { return !test.workerRunning(); }, 20s));
    }

    // Without media nothing is sent.
    printer().setMedia(false);
    ASSERT_TRUE(waitUntil([&] { return !device().getStatus().hasFlag(machineStatus_t::flagMediaPresent); }));
    scriptedMessageBox_t boxes;
    boxes.expect(feederEncoderTest_t::noMediaText, MB_OK, IDOK);
    queueWindow_t window;
    feederEncoderTest_t test(&device(), window.handle());
    const std::uint64_t from = mark();
    EXPECT_EQ(test.start(feederEncoderTest_t::encoderMask), feederEncoderTest_t::start_e::noMedia_e);
    EXPECT_FALSE(test.started());
    EXPECT_TRUE(codesSince(from).empty());
}

// The bridge moves 100 mm away at the end only from the knife's stop at
// Y = 80 mm: not when it has been moved from there meanwhile.
TEST_F(calibrationBatchesThreadsTest, KnifeCheckLeavesAMovedBridgeWhereItIs)
{
    readyMachine();
    checkKnifeBatch_t knife;
    knife.setCountdownStep(10);
    const std::size_t from = sentCommandsMark();
    const std::vector<stage_t> posted = drive(knife, [&](int stage, int state) {
        if (stage != 3 || state != baseStaticBatch_t::inProgress_e ||
            knife.stage(3).statusText != L"Press RESUME...")
            return;
        printer().manualMoveXY(125000000, 90000000);
        const auto steps = device().nanoToSteps(1, 90000000);
        ASSERT_TRUE(waitUntil([&] { return device().getStatus().yPosition() == steps; }));
        printer().pressResume();
    });
    ASSERT_EQ(posted.back(), (stage_t{4, -1}));
    const std::vector<std::vector<std::uint8_t>> sent = sentCommandsSince(from);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), (std::vector<std::uint8_t>{141, 0}));
}

// With the demonstration's operator at the front panel, a knife check whose
// wait window only waits (as the real one does) runs to its end.
class knifeCheckOperatorThreadsTest : public calibrationBatchesThreadsTest {
protected:
    void configure(simPrinterConfig_t& printer) override { printer.operatorResumeMs = 300; }
};

TEST_F(knifeCheckOperatorThreadsTest, TheOperatorPressesResumeTwice)
{
    readyMachine();
    batchDialogs_t dialogs;
    dialogs.waitForResume = [this](HWND, qvrClientDev_t*) {
        EXPECT_TRUE(waitUntil([&] { return device().getMachineState() != 5; }, 20s));
    };
    setBatchDialogs(dialogs);
    checkKnifeBatch_t knife;
    knife.setCountdownStep(10);
    EXPECT_EQ(drive(knife).back(), (stage_t{4, -1}));
}
