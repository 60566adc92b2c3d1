#include "procedures/batches/cleanBubblesBatch.h"
#include "procedures/batches/fillEmptyGlueSystemBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/batches/commandBytes.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct box_t {
    const wchar_t* text;
    unsigned style;
    int answer;
};

enum class kind_e { clean_e, fillLong_e, fillFast_e };

struct case_t {
    const char* what = "";
    kind_e kind = kind_e::clean_e;
    bool homed = true;           // the X/Y axis flag at the start
    bool hooked = false;         // the iron at the start
    bool doorOpen = false;       // the door sensor reads open from the start...
    int doorClosesAt = -1;       // ...until this stage goes in progress (-1: never)
    int doorClosesAtReminder = 0;  // ...or while this reminder is shown (counts from 1)
    bool flagBit0 = false;       // bit 0 of "Machine Flags"
    int cancelAt = -1;           // the progress window's Cancel as this stage goes in progress...
    int cancelPost = 1;          // ...for this time (the purge posts each stroke)
    bool pumpHomeFirst = false;  // a pump home queued just before the run
    std::vector<box_t> boxes = {};
    commandList_t sent = {};  // everything, in order, the clean-up included
    int stage = 0;            // the stage that ends the run (the stage count: completed)
    int state = -1;           // its state (-1: completed)
};

constexpr unsigned info = MB_OKCANCEL | MB_ICONINFORMATION;
constexpr std::uint32_t doorSensor = 1u << 11;  // machine types other than 1000
const wchar_t* const trap =
    L"The glue trap is now filled with glue.\nCarefully remove the trap, clean it, replace it and close the door.";
const wchar_t* const door = L"Please close the door.";
const wchar_t* const container = L"Place the container on the table, about 2.5cm (1\") from the front edge.";
const wchar_t* const purge = L"The purge process will now begin. Glue will be sprayed into the container.";

// The parameters the procedures read, set so that each payload shows its
// arithmetic: a negative odd "Max Y position" halves toward zero, a negative
// pump speed keeps its low 16 bits.
constexpr std::int32_t maxPump = 13800000;
constexpr std::int32_t maxY = -392000001;
constexpr std::int32_t pumpSpeed = -800;
constexpr std::int32_t endModelX = 255000000;
constexpr std::int32_t firstToolY = 384442440;
constexpr std::int32_t zSafe = -2500000;
constexpr std::int32_t zBaseDelta = 1000000;

const commandBytes_t home = cmd(130, {0});
const commandBytes_t unhook = cmd(151, {0});
const commandBytes_t hook = cmd(151, {1});
const commandBytes_t pumpFull = cmd(129, {3, i32(13800000)});
const commandBytes_t pumpHome = cmd(130, {3});
const commandBytes_t pumpZero = cmd(129, {3, i32(0)});
const commandBytes_t pumpBackFast = cmd(129, {0x83, i32(0), i16(0xFCE0)});
const commandBytes_t statusRequest = cmd(147);
const commandBytes_t zToZero = cmd(129, {2, i32(0)});
const commandBytes_t toContainer = cmd(129, {1, i32(140000000)});

// Clean Bubbles, stage by stage.
const commandList_t cleanPrep = {home, unhook};
const commandList_t cleanPurge = times(3, {pumpFull, pumpHome});
const commandList_t cleanBridge = {hook, cmd(129, {1, i32(-196000000)})};
const commandList_t cleanReposition = {unhook};
const commandList_t cleanCleanUp = {pumpHome};

// The fill procedures. The clean-up leaves the bridge before the first tool
// (First Tool Y - 30 mm) and Z at its safe height: "Z Safe Pos" + the
// measured height of the status (0, nothing measured here) + "Z Base Delta".
const commandList_t fillCleanUp = {pumpHome, unhook, cmd(135, {i32(255000000), i32(354442440)}),
                                   cmd(129, {2, i32(-1500000)})};
commandList_t fillPrep(bool homed)
{
    return homed ? commandList_t{zToZero, hook} : commandList_t{zToZero, home, hook};
}

// What the progress window shows through a completed run (stageWindow_t::
// recordShown): each stage in progress and completed, and every stroke of
// the purge.
const std::vector<std::wstring> cleanShown = {
    L"Preparations: In Progress...",
    L"Preparations: Completed.",
    L"Purge System: In Progress...",
    L"Purge System: Completed.",
    L"Moving Iron Bridge: In Progress...",
    L"Moving Iron Bridge: Completed.",
    L"Clean & Replace Glue Trap: In Progress...",
    L"Clean & Replace Glue Trap: Completed.",
    L"Re-position Iron Bridge: In Progress...",
    L"Re-position Iron Bridge: Completed.",
};
std::vector<std::wstring> fillShown()
{
    std::vector<std::wstring> shown = {L"Preparations: In Progress...", L"Preparations: Completed.",
                                       L"Moving Iron Bridge: In Progress...", L"Moving Iron Bridge: Completed.",
                                       L"Purge System: In Progress..."};
    for (int n = 1; n <= 200; ++n)
        shown.push_back(L"Purge System: " + std::to_wstring(n) + L" Full-Strokes Done");
    shown.push_back(L"Purge System: Completed.");
    return shown;
}

}  // namespace

class cleaningBatchesThreadsTest : public batchMachineThreadsTest {
protected:
    // Instant actions: the fills make 400 moves each.
    void configure(simPrinterConfig_t& printer) override { printer.actionMs = 0; }

    // The X/Y homing and the iron as a case starts; status polls on.
    void prepare(const case_t& c)
    {
        device().setPollInterval(qvrCommDev_t::defaultPollInterval);
        ASSERT_TRUE(enterTechnicianMode());
        printer().clearFaults();
        printer().clearError();
        printer().releaseSensors(doorSensor);
        setDeviceParam(L"Machine Flags", c.flagBit0 ? 0xAA81 : 0xAA80);
        setDeviceParam(L"Max pump position", maxPump);
        setDeviceParam(L"Max Y position", maxY);
        setDeviceParam(L"Pump Forward Speed", pumpSpeed);
        setDeviceParam(L"End Model Pos X", endModelX);
        setDeviceParam(L"First Tool Y", firstToolY);
        setDeviceParam(L"Z Safe Pos", zSafe);
        setDeviceParam(L"Z Base Delta", zBaseDelta);
        if (c.homed) {
            device().sendCommandWait(130, 1, 0);
        } else {
            // Switched off and on: powered, not homed.
            device().sendCommandWait(131, 1, 0, 1, 0);
            device().sendCommandWait(131, 1, 0, 1, 2);
        }
        device().sendCommandWait(151, 1, c.hooked ? 1 : 0);
        if (c.doorOpen)
            printer().forceSensors(doorSensor, true);
        ASSERT_TRUE(waitUntil([&] {
            const machineStatus_t status = device().getStatus();
            return device().isAxisFlagSet(0) == c.homed &&
                   status.hasFlag(machineStatus_t::flagIronHooked) == c.hooked &&
                   device().isDOORopen() == c.doorOpen && status.errorNumber() == 0 && printer().actionsIdle();
        }));
        ASSERT_EQ(device().getStatus().measuredHeight(), 0);
    }
};

// Each procedure's whole conversation with the machine: every command of
// every stage with its payload, the answers to its questions, and the
// clean-up after a Cancel in each stage.
TEST_F(cleaningBatchesThreadsTest, EachRunSendsThePartsCommandsInOrder)
{
    const std::vector<box_t> fillQuestions = {{container, info, IDOK}, {purge, MB_OKCANCEL, IDOK}};
    const std::vector<case_t> cases = {
        {.what = "clean completed",
         .homed = false,
         .hooked = true,
         .boxes = {{trap, info, IDOK}},
         .sent = join({cleanPrep, cleanPurge, cleanBridge, cleanReposition}),
         .stage = 5},
        {.what = "clean, Cancel as the preparations start",
         .homed = false,
         .hooked = true,
         .cancelAt = 0,
         .sent = join({{home}, cleanCleanUp}),
         .state = 2},
        {.what = "clean, Cancel as the purge starts",
         .homed = false,
         .hooked = true,
         .cancelAt = 1,
         .sent = join({cleanPrep, {pumpFull}, cleanCleanUp}),
         .stage = 1,
         .state = 2},
        {.what = "clean, Cancel as the bridge moves",
         .cancelAt = 2,
         .sent = join({cleanPurge, {hook}, cleanCleanUp}),
         .stage = 2,
         .state = 2},
        {.what = "clean, Cancel at the trap question",
         .boxes = {{trap, info, IDCANCEL}},
         .sent = join({cleanPurge, cleanBridge, cleanCleanUp}),
         .stage = 3,
         .state = 2},
        {.what = "clean, door open: Cancel at the reminder",
         .doorOpen = true,
         .boxes = {{trap, info, IDOK}, {door, MB_OKCANCEL | MB_ICONWARNING, IDCANCEL}},
         .sent = join({cleanPurge, cleanBridge, {statusRequest}, cleanCleanUp}),
         .stage = 3,
         .state = 2},
        // Each OK asks the machine again; the door closed while the second
        // reminder was up ends the test.
        {.what = "clean, door open: OK at the reminder twice, the door closed meanwhile",
         .doorOpen = true,
         .doorClosesAtReminder = 2,
         .boxes = {{trap, info, IDOK},
                   {door, MB_OKCANCEL | MB_ICONWARNING, IDOK},
                   {door, MB_OKCANCEL | MB_ICONWARNING, IDOK}},
         .sent = join({cleanPurge, cleanBridge, times(3, {statusRequest}), cleanReposition}),
         .stage = 5},
        {.what = "clean, door open but Machine Flags bit 0 set: no door test",
         .doorOpen = true,
         .flagBit0 = true,
         .boxes = {{trap, info, IDOK}},
         .sent = join({cleanPurge, cleanBridge, cleanReposition}),
         .stage = 5},
        {.what = "clean, door closed by the status request: no reminder",
         .doorOpen = true,
         .doorClosesAt = 3,
         .boxes = {{trap, info, IDOK}},
         .sent = join({cleanPurge, cleanBridge, {statusRequest}, cleanReposition}),
         .stage = 5},
        {.what = "clean, Cancel as the bridge goes back",
         .cancelAt = 4,
         .boxes = {{trap, info, IDOK}},
         .sent = join({cleanPurge, cleanBridge, {unhook}, cleanCleanUp}),
         .stage = 4,
         .state = 2},

        {.what = "long fill completed",
         .kind = kind_e::fillLong_e,
         .homed = false,
         .boxes = fillQuestions,
         .sent = join({fillPrep(false), {toContainer}, times(200, {pumpFull, pumpZero}), fillCleanUp}),
         .stage = 3},
        // The pump home queued before the run is answered while the run's
        // first command is awaited; every stroke still follows.
        {.what = "fast fill completed",
         .kind = kind_e::fillFast_e,
         .pumpHomeFirst = true,
         .boxes = fillQuestions,
         .sent = join({{pumpHome}, fillPrep(true), {toContainer}, times(200, {pumpFull, pumpBackFast}),
                         {pumpBackFast}, fillCleanUp}),
         .stage = 3},
        {.what = "long fill, Cancel as the preparations start: no clean-up",
         .kind = kind_e::fillLong_e,
         .cancelAt = 0,
         .sent = {zToZero},
         .state = 2},
        {.what = "long fill, Cancel at the container question: no clean-up",
         .kind = kind_e::fillLong_e,
         .boxes = {{container, info, IDCANCEL}},
         .sent = fillPrep(true),
         .stage = 1,
         .state = 2},
        {.what = "fast fill, Cancel at the purge question",
         .kind = kind_e::fillFast_e,
         .boxes = {{container, info, IDOK}, {purge, MB_OKCANCEL, IDCANCEL}},
         .sent = join({fillPrep(true), {toContainer}, {pumpBackFast}, fillCleanUp}),
         .stage = 2,
         .state = 2},
        // The purge posts "In Progress...", then each stroke's count.
        {.what = "long fill, Cancel after the second stroke: clean-up once",
         .kind = kind_e::fillLong_e,
         .cancelAt = 2,
         .cancelPost = 3,
         .boxes = fillQuestions,
         .sent = join({fillPrep(true), {toContainer}, times(2, {pumpFull, pumpZero}), {pumpFull}, fillCleanUp}),
         .stage = 2,
         .state = 2},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        prepare(c);
        if (HasFatalFailure())
            return;
        std::unique_ptr<baseStaticBatch_t> batch;
        std::wstring name = L"Clean Bubbles";
        if (c.kind == kind_e::clean_e) {
            batch = std::make_unique<cleanBubblesBatch_t>();
        } else {
            batch = std::make_unique<fillEmptyGlueSystemBatch_t>(c.kind == kind_e::fillLong_e);
            name = c.kind == kind_e::fillLong_e ? L"Long Clean Bubbles" : L"Fast Clean Bubbles";
        }
        EXPECT_EQ(batch->name(), name);
        scriptedMessageBox_t boxes;
        int reminders = 0;
        for (const box_t& box : c.boxes) {
            expectedBox_t expected{box.text, false, name, box.style, box.answer};
            if (std::wstring(box.text) == door && ++reminders == c.doorClosesAtReminder)
                expected.whileShown = [&] { printer().releaseSensors(doorSensor); };
            boxes.expect(expected);
        }
        stageWindow_t window;
        window.recordShown(batch.get());
        if (c.cancelAt >= 0)
            window.onStage(c.cancelAt, baseStaticBatch_t::inProgress_e, c.cancelPost,
                           [&] { batch->abortEvent().set(); });
        else if (c.doorClosesAt >= 0)
            window.onStage(c.doorClosesAt, baseStaticBatch_t::inProgress_e, 1,
                           [&] { printer().releaseSensors(doorSensor); });
        batch->setOwnerWindow(window.handle());

        const std::uint64_t from = stopPollsAndMark();
        if (c.pumpHomeFirst)
            device().sendCommandArgs(130, 1, 3);
        batch->execute();
        EXPECT_EQ(asLines(commandsSince(from)), asLines(c.sent));
        EXPECT_EQ(boxes.shown().size(), c.boxes.size());

        std::vector<postedMessage_t> posted = window.takeAll();
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back().wParam, static_cast<WPARAM>(c.stage));
        EXPECT_EQ(posted.back().lParam, static_cast<LPARAM>(c.state));
        for (int i = 0; i < batch->stageCount(); ++i) {
            const batchStage_t stage = batch->stage(i);
            if (i < c.stage) {
                EXPECT_EQ(stage.state, 0) << i;
                EXPECT_EQ(stage.statusText, L"Completed.") << i;
            } else if (i == c.stage) {
                EXPECT_EQ(stage.state, c.state) << i;
                EXPECT_EQ(stage.statusText, L"Aborted.") << i;
            } else {
                EXPECT_EQ(stage.state, baseStaticBatch_t::pendingState) << i;
            }
        }
        if (c.state == -1) {
            EXPECT_EQ(window.takeShown(), c.kind == kind_e::clean_e ? cleanShown : fillShown());
        }
    }
}
