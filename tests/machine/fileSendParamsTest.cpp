// fileSendParams_t: what the two constructors put in the nineteen integers,
// and copies that never share the upload streams.
#include "machine/fileSendParams.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(fileSendParams, integersOfBothConstructors) {
    const fileSendParams_t byDefault;
    std::vector<int32_t> expected(19, 0);
    expected[0] = 1;
    expected[14] = 1999;
    expected[18] = 2;
    EXPECT_EQ(std::vector<int32_t>(byDefault.integers.begin(), byDefault.integers.end()), expected);

    // path, kind, flag, name, copies, last layer, extra value, second flag, display name
    const fileSendParams_t request(L"C:/m.ZS", 7, 5, L"name", 3, 1500, 11, 4, L"user");
    expected.assign(19, 0);
    expected[0] = 3;     // copies
    expected[7] = 0;     // second flag is not 0
    expected[11] = 4;    // second flag
    expected[14] = 1500; // last layer
    expected[15] = 11;   // extra value
    expected[16] = 5;    // flag
    expected[17] = 1;    // pending
    expected[18] = 7;    // kind
    EXPECT_EQ(std::vector<int32_t>(request.integers.begin(), request.integers.end()), expected);
    EXPECT_EQ(request.path, L"C:/m.ZS");
    EXPECT_EQ(request.name, L"name");
    EXPECT_EQ(request.displayName, L"user");
    EXPECT_EQ(request.text3, L"");

    const fileSendParams_t zeroFlag(L"p", 2, 0, L"", 1, 1999, 0, 0, L"user");
    EXPECT_EQ(zeroFlag.integer(fileSendParams_t::secondFlagClear_e), 1);
    EXPECT_EQ(zeroFlag.integer(fileSendParams_t::secondFlag_e), 0);
}

class fileSendParamsTest : public prefixTest {};

TEST_F(fileSendParamsTest, anEmptyDisplayNameBecomesTheUserName) {
    const fileSendParams_t request(L"p", 2, 0, L"", 1, 1999, 0, 0, L"");
    EXPECT_EQ(request.displayName, L"tech");
}

TEST(fileSendParams, copiesGetClosedStreams) {
    fileSendParams_t original(L"C:/m.ZS", 2, 1, L"n", 1, 1999, 0, 0, L"u");
    original.uploadInput.setstate(std::ios_base::eofbit);
    const fileSendParams_t copy(original);
    EXPECT_EQ(copy, original);
    EXPECT_FALSE(copy.uploadInput.is_open());
    EXPECT_TRUE(copy.uploadInput.good());

    fileSendParams_t assigned;
    assigned = original;
    EXPECT_EQ(assigned, original);
    const fileSendParams_t& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.path, L"C:/m.ZS");

    const fileSendParams_t moved(std::move(assigned));
    EXPECT_EQ(moved, original);
}

} // namespace
