#include "machine/machineParam.h"
#include "procedures/batches/cleanBubblesBatch.h"
#include "procedures/batches/fillEmptyGlueSystemBatch.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

enum class kind_e { clean_e, fillLong_e, fillFast_e };

struct box_t {
    const wchar_t* text;
    unsigned style;
    int answer;
};

struct case_t {
    const char* what;
    kind_e kind;
    bool doorOpen;
    bool machineFlagBit0;
    int errorOnCode;  // 0: none; else the printer fails this command
    std::vector<box_t> boxes;
    int stage;   // the stage that ends the run (stage count: completed)
    int status;  // its state
    // The commands after the preparations' homing and unhooking, which
    // depend on the machine's state at the start.
    std::vector<int> tail;
};

std::vector<int> repeated(std::vector<int> prefix, std::vector<int> unit, int times, std::vector<int> suffix)
{
    for (int i = 0; i < times; ++i)
        prefix.insert(prefix.end(), unit.begin(), unit.end());
    prefix.insert(prefix.end(), suffix.begin(), suffix.end());
    return prefix;
}

constexpr unsigned info = MB_OKCANCEL | MB_ICONINFORMATION;
constexpr unsigned warn = MB_OKCANCEL | MB_ICONWARNING;
const wchar_t* const trap = cleanBubblesBatch_t::trapQuestion;
const wchar_t* const door = cleanBubblesBatch_t::doorQuestion;
const wchar_t* const container = fillEmptyGlueSystemBatch_t::containerQuestion;
const wchar_t* const purge = fillEmptyGlueSystemBatch_t::purgeQuestion;
// Pump home, iron unhooked, bridge to the end position, Z to its safe height.
const std::vector<int> purgeCleanUp = {130, 151, 135, 129};

}  // namespace

class cleaningBatchesSlowThreadsTest : public batchMachineThreadsTest {
protected:
    void setParam(const wchar_t* name, std::int32_t value)
    {
        const machineParam_t* param = device().findParameter(-1, name);
        ASSERT_NE(param, nullptr);
        device().setParameterWord(param->index(), value);
    }
    queueWindow_t window_;
};

TEST_F(cleaningBatchesSlowThreadsTest, ProceduresSendTheirCommandsAndEndOnTheRightStage)
{
    const std::vector<case_t> cases = {
        {"clean, door closed", kind_e::clean_e, false, false, 0, {{trap, info, IDOK}}, 5, -1,
         repeated({}, {129, 130}, 3, {151, 129, 151})},
        {"clean, Cancel at the trap question", kind_e::clean_e, false, false, 0, {{trap, info, IDCANCEL}}, 3, 2,
         repeated({}, {129, 130}, 3, {151, 129, 130})},
        {"long fill completes", kind_e::fillLong_e, false, false, 0, {{container, info, IDOK}, {purge, MB_OKCANCEL, IDOK}},
         3, -1, repeated({151, 129}, {129, 129}, 200, purgeCleanUp)},
        {"long fill, Cancel before the purge: no clean-up", kind_e::fillLong_e, false, false, 0,
         {{container, info, IDCANCEL}}, 1, 2, {151}},
        {"long fill, Cancel at the purge question: clean-up once", kind_e::fillLong_e, false, false, 0,
         {{container, info, IDOK}, {purge, MB_OKCANCEL, IDCANCEL}}, 2, 2, {151, 129, 130, 151, 135, 129}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(enterTechnicianMode());
        printer().clearError();
        printer().clearFaults();
        printer().setDoorOpen(c.doorOpen);
        ASSERT_TRUE(waitUntil([&] { return device().isDOORopen() == c.doorOpen; }));
        setParam(L"Machine Flags", c.machineFlagBit0 ? 0xAA81 : 0xAA80);
        setParam(L"Max pump position", 13800000);
        setParam(L"Max Y position", 392000001);
        setParam(L"Pump Forward Speed", -800);
        setParam(L"End Model Pos X", 255000000);
        setParam(L"First Tool Y", 384442440);
        const std::uint64_t setupFrom = mark();
        device().sendCommandWait(130, 1, 0);
        device().sendCommandWait(151, 1, 0);
        ASSERT_TRUE(printer().trace().waitFor(
            [](const simTraceEntry_t& e) { return e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code == 151; },
            10s, setupFrom));
        ASSERT_TRUE(waitUntil([&] {
            return device().isAxisFlagSet(0) && !device().getStatus().hasFlag(machineStatus_t::flagIronHooked);
        }));
        if (c.errorOnCode != 0) {
            simFaultRule_t rule;
            rule.code = c.errorOnCode;
            rule.action = simFaultRule_t::action_e::setError_e;
            rule.value = 7;
            printer().addFault(rule);
        }
        scriptedMessageBox_t boxes;
        std::unique_ptr<baseStaticBatch_t> batch;
        std::wstring name;
        if (c.kind == kind_e::clean_e) {
            batch = std::make_unique<cleanBubblesBatch_t>();
            name = L"Clean Bubbles";
        } else {
            batch = std::make_unique<fillEmptyGlueSystemBatch_t>(c.kind == kind_e::fillLong_e);
            name = c.kind == kind_e::fillLong_e ? L"Long Clean Bubbles" : L"Fast Clean Bubbles";
        }
        for (const box_t& box : c.boxes)
            boxes.expect(expectedBox_t{box.text, false, name, box.style, box.answer});

        // Homed and unhooked, so the preparations send no homing or unhooking.
        std::vector<int> expected;
        if (c.kind != kind_e::clean_e && c.errorOnCode == 0)
            expected.push_back(129);
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());

        const std::uint64_t from = mark();
        batch->setOwnerWindow(window_.handle());
        batch->execute();
        // Clean-up commands are queued, not waited for.
        waitUntil([&] { return codesSince(from).size() >= expected.size(); });
        EXPECT_EQ(codesSince(from), expected);
        EXPECT_EQ(boxes.shown().size(), c.boxes.size());
        EXPECT_EQ(batch->name(), name);

        for (int i = 0; i < batch->stageCount(); ++i) {
            const batchStage_t stage = batch->stage(i);
            if (i < c.stage) {
                EXPECT_EQ(stage.state, 0) << i;
                EXPECT_EQ(stage.statusText, L"Completed.") << i;
            } else if (i == c.stage) {
                EXPECT_EQ(stage.state, c.status) << i;
                EXPECT_EQ(stage.statusText, c.status == 1 ? L"Failed." : L"Aborted.") << i;
            } else {
                EXPECT_EQ(stage.state, baseStaticBatch_t::pendingState) << i;
            }
        }
        // The stroke counter is posted for every stroke.
        std::size_t strokes = 0;
        for (const postedMessage_t& m : window_.takeAll())
            if (m.message == baseStaticBatch_t::stageMessage && m.wParam == 2 && m.lParam == 3)
                ++strokes;
        if (c.kind != kind_e::clean_e && c.stage == 3) {
            EXPECT_EQ(strokes, 201u);  // "In Progress..." and 200 counts
        }
        printer().clearFaults();
        printer().clearError();
    }
}

// The exact payloads of the moves computed from parameters.
TEST_F(cleaningBatchesSlowThreadsTest, PayloadsCarryTheParameterValues)
{
    setParam(L"Max Y position", -392000001);
    setParam(L"Max pump position", 13800000);
    setParam(L"Pump Forward Speed", -800);
    setParam(L"Machine Flags", 0xAA80);
    printer().setDoorOpen(false);
    ASSERT_TRUE(waitUntil([&] { return !device().isDOORopen(); }));
    scriptedMessageBox_t boxes;
    boxes.expect(std::wstring(trap), info, IDOK);
    const std::uint64_t from = mark();
    cleanBubblesBatch_t batch;
    batch.execute();
    bool sawHalfY = false;
    for (const simTraceEntry_t& e : printer().trace().since(from)) {
        if (e.kind != simTraceEntry_t::kind_e::commandIn_e || e.code != 129)
            continue;
        // Signed division truncates toward zero: -196000000.
        if (e.bytes == std::vector<std::uint8_t>{129, 1, 0x00, 0x47, 0x51, 0xF4})
            sawHalfY = true;
    }
    EXPECT_TRUE(sawHalfY);
    EXPECT_EQ(batch.stage(4).state, 0);

    // The fast return: [0x83][int32 0][int16 speed].
    scriptedMessageBox_t fillBoxes;
    fillBoxes.expect(std::wstring(container), info, IDOK).expect(std::wstring(purge), MB_OKCANCEL, IDCANCEL);
    fillEmptyGlueSystemBatch_t fill(false);
    const std::uint64_t fillFrom = mark();
    fill.execute();
    ASSERT_TRUE(printer().trace().waitFor(
        [](const simTraceEntry_t& e) { return e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code == 135; },
        10s, fillFrom));
    const std::vector<std::uint8_t> fastReturn = {129, 0x83, 0, 0, 0, 0, 0xE0, 0xFC};
    std::size_t seen = 0;
    for (const simTraceEntry_t& e : printer().trace().since(fillFrom))
        if (e.kind == simTraceEntry_t::kind_e::commandIn_e && e.bytes == fastReturn)
            ++seen;
    EXPECT_EQ(seen, 1u);
    EXPECT_EQ(fill.stage(2).statusText, L"Aborted.");
}

// Every full stroke of the fast fill reaches the printer, each followed by
// its return, although a command only queued before the run (the pump home)
// is answered with type 10 while the run's first command is awaited.
TEST_F(cleaningBatchesSlowThreadsTest, FastFillDeliversEveryStrokeAndItsReturn)
{
    device().setPollInterval(0);
    setParam(L"Max pump position", 13800000);
    setParam(L"Pump Forward Speed", -800);
    scriptedMessageBox_t boxes;
    boxes.expect(std::wstring(container), info, IDOK).expect(std::wstring(purge), MB_OKCANCEL, IDOK);
    const std::uint64_t from = mark();
    device().sendCommandArgs(130, 1, 3);
    fillEmptyGlueSystemBatch_t fill(false);
    fill.execute();
    ASSERT_TRUE(printer().trace().waitFor(
        [](const simTraceEntry_t& e) { return e.kind == simTraceEntry_t::kind_e::commandIn_e && e.code == 135; },
        10s, from));
    const std::vector<std::uint8_t> full = {129, 3, 0x40, 0x92, 0xD2, 0x00};
    const std::vector<std::uint8_t> back = {129, 0x83, 0, 0, 0, 0, 0xE0, 0xFC};
    std::string pump;
    for (const simTraceEntry_t& e : printer().trace().since(from)) {
        if (e.kind != simTraceEntry_t::kind_e::commandIn_e)
            continue;
        if (e.bytes == full)
            pump += 'F';
        else if (e.bytes == back)
            pump += 'B';
    }
    std::string expected;
    for (int i = 0; i < fillEmptyGlueSystemBatch_t::strokeCount; ++i)
        expected += "FB";
    expected += 'B';  // the clean-up's own return
    EXPECT_EQ(pump, expected);
    EXPECT_EQ(fill.stage(2).state, 0);
}
