// The machine built-ins in a run without a device (a script checked on its
// own): nothing to send, empty records, and the length check still holds.
#include "procedures/script/batchRegistry.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/builtinOrder.h"
#include "procedures/script/machineStopTest.h"
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST_F(scriptTest, MachineBuiltinsWithoutADeviceReadEmptyRecords)
{
    struct noDeviceCase_t {
        const char* call;
        std::int32_t returns;
    } cases[] = {
        {"moveXto(5)", 0},     {"moveFEEDERby(-3)", 0}, {"FeedIronTrim(7)", 0}, {"modelHeight()", 0},
        {"isPenUP()", 1},      {"isPenDOWN()", 0},      {"isXhome()", 0},       {"isDOORopen()", 0},
        {"errorNumber()", 0},  {"logicalTOOL()", 0},    {"physicalTOOL()", 0},  {"valveDCon()", 0},
        {"drawRectWithAngle(10, 20, 30, 1, 2, 3)", 0},  {"arc(5, 0, 90)", 0},   {"changeTOOL(4)", 0},
    };
    for (const auto& c : cases) {
        scriptRun_t result = run(std::string("{ memory(0, 99) memory(0, ") + c.call + ") }");
        ASSERT_TRUE(result.ok) << c.call << ": " << result.error;
        EXPECT_EQ(batchRunState_t::globalCells[0], c.returns) << c.call;
        // A built-in, not the default function, answered the call.
        EXPECT_EQ(result.out, "") << c.call;
    }
    scriptRun_t tooLong = run("{ moveXto(98095) }");
    EXPECT_EQ(tooLong.error, "length out of range\n");
    EXPECT_TRUE(machineFitToGoOn(nullptr));
}

TEST(scriptMachineRegistry, EveryNameOfTheOrderIsRegistered)
{
    std::set<std::string> registered;
    for (auto* entry = batchRegistryHead(); entry != nullptr; entry = entry->next)
        registered.insert(entry->scriptName);
    EXPECT_EQ(registered.size(), static_cast<std::size_t>(batchBuiltinCount));
    for (const char* name : batchBuiltinOrder)
        EXPECT_EQ(registered.count(name), 1u) << name;
}
