// The built-in registry, the default function and the unit conversion.
#include "procedures/script/batchRegistry.h"
#include "procedures/script/builtinOrder.h"
#include "procedures/script/numberBuiltins.h"
#include "procedures/script/sleepMsec.h"
#include "procedures/script/unitConversion.h"
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

TEST(scriptRegistry, ListRunsBackwardsThroughTheRegistrationOrder)
{
    std::vector<std::string> names;
    for (auto* entry = batchRegistryHead(); entry != nullptr; entry = entry->next) {
        ASSERT_NE(entry->scriptName, nullptr);
        names.emplace_back(entry->scriptName);
    }
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "resultLog");
    EXPECT_EQ(names.back(), "micronsUnits");
    // From the tail, the names appear in the fixed order, each once.
    std::size_t at = 0;
    std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        while (at < batchBuiltinCount && *name != batchBuiltinOrder[at])
            ++at;
        EXPECT_LT(at, static_cast<std::size_t>(batchBuiltinCount)) << *name << " is out of order";
    }
    // Each built-in's class is its script name with _t.
    for (auto* entry = batchRegistryHead(); entry != nullptr; entry = entry->next)
        EXPECT_EQ(std::string(entry->className()), std::string(entry->scriptName) + "_t");
}

TEST(scriptRegistry, LookupByScriptOrClassName)
{
    auto* sleep = findEntry("sleepMsec");
    ASSERT_NE(sleep, nullptr);
    EXPECT_STREQ(sleep->scriptName, "sleepMsec");
    EXPECT_EQ(findEntry("sleepMsec_t"), sleep);
    EXPECT_EQ(findEntry(batchTypeName(typeid(sleepMsec_t)).c_str()), sleep);
    EXPECT_EQ(findEntry("class sleepMsec_t"), sleep);
    EXPECT_EQ(findEntry("sleepmsec"), nullptr);
    EXPECT_EQ(findEntry("SleepMsec"), nullptr);
    EXPECT_EQ(findEntry(nullptr), nullptr);

    auto call = findBuiltin("sqrt_t");
    ASSERT_NE(call, nullptr);
    EXPECT_NE(dynamic_cast<sqrt_t*>(call.get()), nullptr);
    EXPECT_EQ(call->callName(), "sqrt");
    EXPECT_STREQ(call->name(), "sqrt");
    EXPECT_EQ(findBuiltin("moveXYto_unknown"), nullptr);

    batchFuncExec_t unknown("foo");
    EXPECT_EQ(unknown.name(), nullptr);
    EXPECT_EQ(unknown.entry(), nullptr);
    EXPECT_EQ(unknown.entryWord1(), nullptr);
    EXPECT_NE(call->entryWord1(), nullptr);
    EXPECT_EQ(*call->entryWord2(), 0u);
}

TEST(scriptRegistry, TypeNamesIgnoreTheKeywordAndWhiteSpace)
{
    struct nameCase_t {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"struct  a_t", "a_t", true}, {"class moveXYto_t", "moveXYto_t", true}, {"classX", "X", false},
        {"", "", true},               {"moveXYto", "MoveXYto", false},        {"a_t", nullptr, false},
        {nullptr, nullptr, false},    {"  a_t", "a_t", true},                 {"a_t", "a_tt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(typeNameEquals(c.a, c.b), c.equal) << (c.a ? c.a : "none") << " / " << (c.b ? c.b : "none");
    EXPECT_STREQ(skipTypeKeyword(" struct\tX"), "X");
    EXPECT_STREQ(skipTypeKeyword("structX"), "structX");
}

TEST(scriptRegistry, DefaultFunctionWritesTheCall)
{
    struct defaultCase_t {
        std::vector<std::int32_t> arguments;
        std::string output;
        std::int32_t result;
    } cases[] = {
        {{5}, "foo (5 )\n", 5},
        {{5, 6}, "foo (5 , 6 )\n", 0},
        {{-1, 2, 2147483647}, "foo (-1 , 2 , 2147483647 )\n", 0},
    };
    for (const auto& c : cases) {
        batchFuncExec_t call("foo");
        call.setArguments(static_cast<int>(c.arguments.size()), c.arguments.data());
        coutCapture_t capture;
        EXPECT_EQ(call.exec(), c.result);
        EXPECT_EQ(capture.text(), c.output);
    }
    batchFuncExec_t call("foo");
    for (int i = 0; i < 100; ++i) {
        coutCapture_t capture;
        std::int32_t value = call.exec();
        EXPECT_GE(value, 0);
        EXPECT_LT(value, 30000);
        EXPECT_EQ(capture.text(), "foo ( )\n");
    }
}

TEST(scriptRegistry, LengthsInBothUnits)
{
    struct lengthCase_t {
        batchUnitMode_t mode;
        std::int32_t value;
        int axis;
        std::int32_t nanometres;
    } cases[] = {
        {micronsUnits_e, 5, axisX_e, 5000},          {micronsUnits_e, 5, axisFeeder_e, 5000},
        {stepsUnits_e, 5, axisZ_e, 6250},            {stepsUnits_e, 2, axisX_e, 43784},
        {stepsUnits_e, -4, axisZ_e, -5000},          {stepsUnits_e, 1, axisPump_e, 2500},
        {stepsUnits_e, 1, axisFeeder_e, 7860},       {stepsUnits_e, 1, axisY_e, 21892},
        {micronsUnits_e, 2147483, axisX_e, 2147483000}, {stepsUnits_e, 98094, axisX_e, 2147473848},
        {micronsUnits_e, -2147483, axisZ_e, -2147483000},
    };
    for (const auto& c : cases) {
        setUnitMode(c.mode);
        EXPECT_EQ(unitsToMachine(c.value, c.axis), c.nanometres) << c.value << " on axis " << c.axis;
    }
    // A length that does not fit in 32 bits is refused, not wrapped.
    setUnitMode(micronsUnits_e);
    EXPECT_THROW(unitsToMachine(2147484, axisX_e), std::runtime_error);
    setUnitMode(stepsUnits_e);
    EXPECT_THROW(unitsToMachine(98095, axisX_e), std::runtime_error);
    EXPECT_THROW(unitsToMachine(-2147483647, axisZ_e), std::runtime_error);
}

TEST_F(scriptTest, UnitModeOutlivesTheRun)
{
    ASSERT_TRUE(run("micronsUnits()").ok);
    EXPECT_EQ(unitMode(), micronsUnits_e);
    ASSERT_TRUE(run("show(1)").ok);
    EXPECT_EQ(unitMode(), micronsUnits_e);
    ASSERT_TRUE(run("stepsUnits()").ok);
    EXPECT_EQ(unitMode(), stepsUnits_e);
}
