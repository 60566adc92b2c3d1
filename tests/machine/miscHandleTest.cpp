#include "machine/miscHandle.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

namespace {

class miscHandleTest : public prefixTest {};

TEST_F(miscHandleTest, holdsANamedMutexUntilClosed)
{
    const std::wstring name = L"Wendaro is OK mutex";
    miscHandle_t none;
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.handle(), INVALID_HANDLE_VALUE);
    none.close();

    bool existed = true;
    miscHandle_t first;
    ASSERT_TRUE(first.createMutex(name, &existed));
    EXPECT_FALSE(existed);
    EXPECT_TRUE(first.isValid());
    {
        miscHandle_t second;
        ASSERT_TRUE(second.createMutex(name, &existed));
        EXPECT_TRUE(existed);
    }
    EXPECT_TRUE(namedMutexExists(name));
    first.close();
    EXPECT_FALSE(first.isValid());
    EXPECT_FALSE(namedMutexExists(name));

    miscHandle_t adopted(std::make_unique<namedMutex_t>(name, &existed));
    EXPECT_FALSE(existed);
    EXPECT_TRUE(adopted.isValid());
    EXPECT_TRUE(namedMutexExists(name));
}

}  // namespace
