#include "machine/dzTableUpParamHandle.h"
#include "machine/machineParam.h"
#include "machine/normalParamHandle.h"
#include "machine/prmControl.h"
#include "machine/toolInfo.h"
#include "machine/units.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

qvrCommDev_t* handleDevice = nullptr;
qvrCommDev_t* getHandleDevice() {
    return handleDevice;
}

class paramHandleTest : public prefixTest {
protected:
    void SetUp() override {
        device_ = std::make_unique<scriptedDevice_t>();
        handleDevice = device_.get();
    }
    void TearDown() override {
        handleDevice = nullptr;
        device_.reset();
    }
    toolInfo_t tool(int t) {
        toolTable_t tools{};
        device_->getToolTable(tools.data(), nullptr);
        return tools[t];
    }

    std::unique_ptr<scriptedDevice_t> device_;
    prmControl_t control_{&getHandleDevice};
};

} // namespace

TEST(paramHandle, changeIsJudgedInMicronsForLengths) {
    prmControl_t control{[]() -> qvrCommDev_t* { return nullptr; }};
    normalParamHandle_t length(&control, parameterAt(12)); // nano,x
    normalParamHandle_t speed(&control, parameterAt(1));   // speed
    normalParamHandle_t steps(&control, parameterAt(64));  // nano without axis
    dzTableUpParamHandle_t dz(&control, 4);
    struct case_t {
        const baseParamHandle_t* handle;
        std::int32_t a;
        std::int32_t b;
        bool changed;
    };
    const case_t cases[] = {
        {&length, 1000499, 1000500, true},
        {&length, 1000400, 1000499, false},
        {&length, 2147483647, 2147483500, false}, // no overflow near the int limit
        {&length, -1000, -1499, false},           // truncating division
        {&steps, 21892, 21893, false},
        {&speed, 116, 117, true},
        {&speed, 116, 116, false},
        {&dz, -900000, -900400, false},
        {&dz, -900000, -901000, true},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(c.handle->isChanged(c.a, c.b), c.changed) << c.a << " " << c.b;
    EXPECT_TRUE(length.hasSameName(normalParamHandle_t(&control, parameterAt(12))));
    EXPECT_FALSE(length.hasSameName(speed));
}

TEST_F(paramHandleTest, normalHandle) {
    normalParamHandle_t handle(&control_, parameterAt(15)); // "Wait Before Feeding", ms
    EXPECT_EQ(handle.name(), L"Wait Before Feeding");
    EXPECT_EQ(handle.description(),
              L"Miliseconds to wait before feeding media when media-lower sensor turns on");
    EXPECT_EQ(handle.formatValue(currentValueMark), L"0.6 sec");
    EXPECT_EQ(handle.formatFactoryValue(), L"0.6 sec");
    EXPECT_EQ(handle.valueFrom(nullptr, L""), 600);
    EXPECT_EQ(handle.valueFrom(nullptr, L"1.5"), 1500);

    EXPECT_TRUE(handle.setFromText(L"0.75"));
    EXPECT_EQ(device_->getParamValue(*parameterAt(15)), 750);
    // A value that does not fit 32 bits is not sent.
    EXPECT_EQ(handle.valueFromText(L"3000000"), std::nullopt);
    EXPECT_EQ(handle.valueFrom(nullptr, L"3000000"), 0);
    EXPECT_FALSE(handle.setFromText(L"3000000"));
    EXPECT_EQ(device_->getParamValue(*parameterAt(15)), 750);

    parameterMemory_t words{};
    handle.storeInArray(words, 1234);
    EXPECT_EQ(words[15], 1234);
    EXPECT_EQ(handle.valueFrom(words.data(), L"9"), 1234);
}

TEST_F(paramHandleTest, dzTableUpHandle) {
    dzTableUpParamHandle_t handle(&control_, 4);
    EXPECT_EQ(handle.name(), L"AG mini (1mm) DZ Table Up");
    EXPECT_EQ(dzTableUpParamHandle_t(&control_, 9).name(), L"Trim Knife DZ Table Up");
    EXPECT_EQ(handle.description(), L"Z delta between height sensor to work height of AG mini (1mm)");

    toolTable_t tools{};
    device_->getToolTable(tools.data(), nullptr);
    tools[4].setDzTableUp(-900);
    device_->setToolTable(tools.data(), nullptr);
    EXPECT_EQ(handle.formatValue(currentValueMark), L"-0.9mm");
    EXPECT_EQ(handle.valueFrom(nullptr, L""), -900000);
    // No machine information yet: the factory table is the default record's.
    EXPECT_EQ(handle.factoryValue(), -1000000);
    EXPECT_EQ(handle.formatFactoryValue(), L"-1mm");

    struct case_t {
        const wchar_t* text;
        bool accepted;
        int microns;
    };
    const case_t cases[] = {
        {L"0.85", true, 850},     {L"0.8509", true, 850},    {L"-1.2", true, -1200}, {L"abc", true, 0},
        {L"32.767", true, 32767}, {L"32.768", false, 32767}, // beyond the 16-bit field: refused, unchanged
        {L"-40", false, 32767},   {L"3000", false, 32767},   // beyond 32 bits of nanometres
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(handle.setFromText(c.text), c.accepted) << std::wstring(c.text).size();
        EXPECT_EQ(tool(4).dzTableUp(), c.microns);
    }

    parameterMemory_t words = getDefaultParameterTable();
    handle.storeInArray(words, -1234567);
    toolTable_t inImage{};
    readToolTable(words, inImage.data());
    EXPECT_EQ(inImage[4].dzTableUp(), -1234);
    EXPECT_EQ(inImage[5].dzTableUp(), -1000);
    EXPECT_EQ(handle.valueFrom(words.data(), L""), -1234000);
}
