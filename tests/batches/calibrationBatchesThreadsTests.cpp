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
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using stage_t = std::pair<int, int>;  // posted (stage, state)
constexpr unsigned deviceNotice = WM_USER + 222;
constexpr WPARAM statusReplyNotice = 141;

enum class kind_e { tools_e, trim_e, zAbs_e, pensTaking_e, knife_e, pensDrawing_e };

std::unique_ptr<baseStaticBatch_t> make(kind_e kind)
{
    switch (kind) {
    case kind_e::tools_e:
        return std::make_unique<calibrateToolsBatch_t>();
    case kind_e::trim_e: {
        auto trim = std::make_unique<calibrateTrimBatch_t>();
        trim->setSecondEventLimit(5000);
        return trim;
    }
    case kind_e::zAbs_e:
        return std::make_unique<calibrateZabsZero_t>();
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

// The progress window's stand-in. `onStage` runs on the worker as it posts
// a stage change, after the stage record was written, so that a test can
// press Cancel at an exact point of the run.
class stageWindow_t : public queueWindow_t {
public:
    std::function<void(int stage, int state)> onStage;
    void deliver(unsigned message, WPARAM wParam, LPARAM lParam) override
    {
        if (onStage && message == baseStaticBatch_t::stageMessage)
            onStage(static_cast<int>(wParam), static_cast<int>(lParam));
        queueWindow_t::deliver(message, wParam, lParam);
    }
};

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

    // Plays the progress window: runs the worker job on a thread, hands
    // completed stages to onStageCompleted on this thread, and the status
    // reply to the procedure's second event, as the main dialog does. `onPost`
    // sees every posted stage change first.
    std::vector<stage_t> drive(baseStaticBatch_t& batch, const std::function<void(int, int)>& onPost = {})
    {
        baseStaticBatch_t::setCurrent(&batch);
        batch.setOwnerWindow(window_.handle());
        deviceWindow().takeAll();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            batch.execute();
            done.store(true);
        });
        std::vector<stage_t> posted;
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!done.load() || window_.count() > 0) {
            for (const postedMessage_t& m : deviceWindow().takeAll())
                if (m.message == deviceNotice && m.wParam == statusReplyNotice && baseStaticBatch_t::current() != nullptr)
                    baseStaticBatch_t::current()->secondEvent().set();
            for (const postedMessage_t& m : window_.takeAll()) {
                if (m.message != baseStaticBatch_t::stageMessage)
                    continue;
                const stage_t s{static_cast<int>(m.wParam), static_cast<int>(m.lParam)};
                posted.push_back(s);
                if (onPost)
                    onPost(s.first, s.second);
                if (s.second == baseStaticBatch_t::completed_e)
                    batch.onStageCompleted(s.first);
            }
            window_.waitFor([](const std::vector<postedMessage_t>& q) { return !q.empty(); }, 20ms);
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the procedure did not end";
                batch.abortEvent().set();
            }
        }
        worker.join();
        baseStaticBatch_t::setCurrent(nullptr);
        return posted;
    }

    stageWindow_t window_;
    int chooserAnswer_ = 7;
    bool pressResume_ = true;
    std::vector<std::pair<int, int>> chooserCalls_;
};

// Every calibration completed, answered No or Cancel and stopped by a machine
// error: the stage that ends the run and its state.
TEST_F(calibrationBatchesThreadsTest, ProceduresCompleteCancelAndFailOnTheRightStage)
{
    struct box_t {
        std::wstring text;
        int answer;
    };
    struct case_t {
        const char* what;
        kind_e kind;
        std::vector<box_t> boxes;  // expected in order (substring match)
        int errorOnCode;           // 0: none; else the printer fails this command
        int stage;                 // the stage that ends the run (stage count: completed)
        int state;
    };
    const std::wstring position = calibrateToolsBatch_t::positionQuestion;
    const std::wstring save = L"New values for the first tool XY paramter will be: X=";
    const std::wstring trimFirst = calibrateTrimBatch_t::firstTrimQuestion;
    const std::wstring trimRemove = calibrateTrimBatch_t::removeQuestion;
    const std::wstring zQuestion = L"Z Abs Zero will be set to ";
    const std::vector<case_t> cases = {
        {"tools completed", kind_e::tools_e, {{position, IDOK}, {save, IDYES}}, 0, 6, -1},
        {"tools, Cancel at the positioning", kind_e::tools_e, {{position, IDCANCEL}}, 0, 2, 2},
        {"tools, No to saving", kind_e::tools_e, {{position, IDOK}, {save, IDNO}}, 0, 4, 2},
        {"tools, error in the search", kind_e::tools_e, {{position, IDOK}}, 159, 3, 1},
        {"trim completed", kind_e::trim_e, {{trimFirst, IDOK}, {trimRemove, IDOK}}, 0, 6, -1},
        {"trim, Cancel at the first trim", kind_e::trim_e, {{trimFirst, IDCANCEL}}, 0, 0, 2},
        {"trim, error while ironing", kind_e::trim_e, {}, 144, 0, 1},
        {"Z abs zero completed", kind_e::zAbs_e, {{zQuestion, IDOK}}, 0, 1, -1},
        {"Z abs zero, Cancel", kind_e::zAbs_e, {{zQuestion, IDCANCEL}}, 0, 0, 2},
        {"Z abs zero, error in the measurement", kind_e::zAbs_e, {}, 139, 0, 1},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        readyMachine();
        std::unique_ptr<baseStaticBatch_t> batch = make(c.kind);
        scriptedMessageBox_t boxes;
        for (const box_t& box : c.boxes)
            boxes.expect(expectedBox_t{box.text, true, batch->name(), std::nullopt, box.answer});
        if (c.errorOnCode != 0)
            failNextCommand(c.errorOnCode);
        const std::vector<stage_t> posted = drive(*batch);
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back(), (stage_t{c.stage, c.state}));
        EXPECT_EQ(boxes.shown().size(), c.boxes.size());
        for (int i = 0; i < batch->stageCount(); ++i) {
            const int state = batch->stage(i).state;
            if (i < c.stage)
                EXPECT_EQ(state, 0) << i;
            else if (i == c.stage)
                EXPECT_EQ(batch->stage(i).statusText, c.state == 1 ? L"Failed." : L"Aborted.") << i;
            else
                EXPECT_EQ(state, baseStaticBatch_t::pendingState) << i;
        }
    }
}

// What the completed calibrations store, and the texts they show.
TEST_F(calibrationBatchesThreadsTest, CalibrationsStoreTheirResults)
{
    readyMachine();
    {
        calibrateToolsBatch_t tools;
        scriptedMessageBox_t boxes;
        boxes.expect(calibrateToolsBatch_t::positionQuestion, MB_OKCANCEL | MB_ICONINFORMATION, IDOK)
            .expect(L"New values for the first tool XY paramter will be: X=3.86mm, Y=384.44mm. Save those values in "
                    L"the machine?",
                    MB_YESNO | MB_ICONQUESTION, IDYES);
        drive(tools);
        EXPECT_EQ(tools.stage(4).statusText, L"Completed. First tool X=3.86mm, Y=384.44mm");
        EXPECT_NEAR(param(L"First Tool X"), 3862280, 30000);
        EXPECT_NEAR(param(L"First Tool Y"), 384442440, 30000);
    }
    readyMachine();
    {
        calibrateTrimBatch_t trim;
        scriptedMessageBox_t boxes;
        boxes.expect(calibrateTrimBatch_t::firstTrimQuestion, MB_OKCANCEL | MB_ICONINFORMATION, IDOK)
            .expect(calibrateTrimBatch_t::removeQuestion, MB_OKCANCEL | MB_ICONINFORMATION, IDOK);
        chooserAnswer_ = 9;
        const std::uint64_t from = mark();
        drive(trim);
        // The default 1.5 mm was drawn by line 10.
        EXPECT_EQ(chooserCalls_, (std::vector<std::pair<int, int>>{{14, 10}}));
        EXPECT_EQ(param(L"Trim Y initial"), 1200000);
        EXPECT_EQ(trim.stage(3).statusText, L"Trim Y = 1.200000");
        // The labels of lines 4, 8 and 12, then 154 and 19 after the drawing.
        std::vector<std::vector<std::uint8_t>> labels;
        std::vector<int> tail;
        for (const simTraceEntry_t& e : printer().trace().since(from)) {
            if (e.kind != simTraceEntry_t::kind_e::commandIn_e)
                continue;
            if (e.code == 162)
                labels.push_back(e.bytes);
            if (e.code == 162 || e.code == 154 || e.code == 19)
                tail.push_back(e.code);
        }
        EXPECT_EQ(tail, (std::vector<int>{162, 162, 162, 154, 19}));
        ASSERT_EQ(labels.size(), 3u);
        // Line 12: x = 28 + 11 x 14 + 2 mm = 184 mm, y = 40.85 + 2.2 mm = 43.05 mm, size 100, "12".
        EXPECT_EQ(labels[2], (std::vector<std::uint8_t>{162, 0x00, 0x9E, 0xF7, 0x0A, 0x10, 0xE4, 0x90, 0x02, 100, 2,
                                                        '1', '2'}));
    }
}

// A chooser cancelled aborts the trim at its choice and keeps "Trim Y initial";
// a re-start waits again for the machine's status reply (withheld here).
TEST_F(calibrationBatchesThreadsTest, TrimChooserCancelAndRestartWaitForTheStatusReply)
{
    readyMachine();
    calibrateTrimBatch_t trim;
    trim.setSecondEventLimit(3000);
    const std::int32_t before = param(L"Trim Y initial");
    {
        scriptedMessageBox_t boxes;
        boxes.expect(calibrateTrimBatch_t::firstTrimQuestion, MB_OKCANCEL | MB_ICONINFORMATION, IDOK);
        chooserAnswer_ = 0;
        const std::vector<stage_t> posted = drive(trim);
        EXPECT_EQ(posted.back(), (stage_t{3, 2}));
        EXPECT_EQ(param(L"Trim Y initial"), before);
    }
    readyMachine();
    {
        // The first run's reply is still signalled; this run's 19 gets none.
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

// Heights at the range's ends are offered; just outside they are refused with
// the error box, and nothing is written.
TEST_F(calibrationBatchesThreadsTest, ZAbsZeroAcceptsOnlyTheAllowedRange)
{
    struct case_t {
        std::int32_t z;
        const wchar_t* box;
        bool accepted;
    };
    const std::vector<case_t> cases = {
        {142000000, L"Z Abs Zero will be set to 142mm.", true},
        {148000000, L"Z Abs Zero will be set to 148mm.", true},
        {141999000, L"Detected Z Abs Zero is out of the allowed values (141.999mm.)", false},
        {148001000, L"Detected Z Abs Zero is out of the allowed values (148.001mm.)", false},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.z);
        readyMachine();
        printer().setTableZero(c.z);
        const std::int32_t before = param(L"Z Abs Zero");
        calibrateZabsZero_t batch;
        scriptedMessageBox_t boxes;
        boxes.expect(c.box, c.accepted ? MB_OKCANCEL | MB_ICONINFORMATION : MB_OK | MB_ICONERROR, IDOK);
        const std::uint64_t from = mark();
        const std::vector<stage_t> posted = drive(batch);
        const std::vector<int> codes = codesSince(from);
        if (c.accepted) {
            EXPECT_EQ(posted.back(), (stage_t{1, -1}));
            EXPECT_EQ(param(L"Z Abs Zero"), c.z);
            EXPECT_EQ(codes, (std::vector<int>{139, 147, 3}));
        } else {
            EXPECT_EQ(posted.back(), (stage_t{0, 1}));
            EXPECT_EQ(param(L"Z Abs Zero"), before);
            EXPECT_EQ(codes, (std::vector<int>{139, 147}));
        }
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
        bool cancelled = false;
        window_.onStage = [&](int stage, int state) {
            if (!cancelled && stage == c.cancelStage && state == baseStaticBatch_t::inProgress_e &&
                batch->stage(stage).statusText == c.cancelText) {
                cancelled = true;
                batch->abortEvent().set();
            }
        };
        const std::size_t from = sentCommandsMark();
        const std::vector<stage_t> posted = drive(*batch, [&](int stage, int state) {
            // The knife check's last stage waits for RESUME once more.
            if (c.cancelStage != 3 && c.kind == kind_e::knife_e && stage == 3 &&
                state == baseStaticBatch_t::inProgress_e && batch->stage(3).statusText == L"Press RESUME...")
                printer().pressResume();
        });
        window_.onStage = nullptr;
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
