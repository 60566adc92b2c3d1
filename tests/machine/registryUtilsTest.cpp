#include "machine/registryUtils.h"
#include "platform/registry.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

namespace {

const std::wstring key = L"SOFTWARE\\Brevanquillor\\qvrComm";

class registryUtilsTest : public prefixTest {};

TEST_F(registryUtilsTest, defaultsAndIntegersStoredAsText)
{
    EXPECT_EQ(regReadString(key, L"BaseDirectory", L"C:/QVR_Printers", HKEY_CURRENT_USER), L"C:/QVR_Printers");
    EXPECT_EQ(regReadInt(key, L"Count", -5, HKEY_CURRENT_USER), -5);

    EXPECT_TRUE(regWriteInt(key, L"To Close Master Program?", 1, HKEY_CURRENT_USER));
    registryValue_t stored;
    ASSERT_EQ(registryQueryValue(HKEY_CURRENT_USER, key, L"to close master program?", stored), ERROR_SUCCESS);
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.data, (std::vector<unsigned char>{'1', 0, 0, 0}));
    EXPECT_EQ(regReadInt(key, L"To Close Master Program?", 0, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(regReadString(key, L"To Close Master Program?", L"", HKEY_LOCAL_MACHINE), L"") << "other root";

    struct intCase_t {
        std::wstring text;
        int expected;
    };
    const intCase_t cases[] = {{L"42", 42}, {L" -7", -7}, {L"12abc", 12}, {L"abc", 99}, {L"", 99},
                               {L"99999999999", 99}};
    for (const auto& c : cases) {
        ASSERT_TRUE(regWriteString(key, L"Number", c.text, HKEY_CURRENT_USER));
        EXPECT_EQ(regReadInt(key, L"Number", 99, HKEY_CURRENT_USER), c.expected) << c.text;
    }
}

TEST_F(registryUtilsTest, valuesBeyondTheBufferGiveTheDefault)
{
    const std::wstring fits(511, L'a');
    const std::wstring tooLong(512, L'b');
    ASSERT_TRUE(regWriteString(key, L"Fits", fits, HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(regWriteString(key, L"TooLong", tooLong, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(regReadString(key, L"Fits", L"default", HKEY_LOCAL_MACHINE), fits);
    EXPECT_EQ(regReadString(key, L"TooLong", L"default", HKEY_LOCAL_MACHINE), L"default");

    // Characters above U+FFFF take two UTF-16 units: 255 of them and the
    // terminator are 1022 bytes, one more character is 1026.
    const std::wstring wideFits(255, L'\U0001F600');
    ASSERT_TRUE(regWriteString(key, L"Wide", wideFits, HKEY_LOCAL_MACHINE));
    EXPECT_EQ(regReadString(key, L"Wide", L"default", HKEY_LOCAL_MACHINE), wideFits);
    ASSERT_TRUE(regWriteString(key, L"Wide", wideFits + L"\U0001F600", HKEY_LOCAL_MACHINE));
    EXPECT_EQ(regReadString(key, L"Wide", L"default", HKEY_LOCAL_MACHINE), L"default");
}

TEST_F(registryUtilsTest, anyTypeReadsUpToItsFirstZero)
{
    registryValue_t value;
    value.type = REG_DWORD;
    value.data = {1, 0, 0, 0};
    ASSERT_EQ(registryCreateKey(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
    ASSERT_EQ(registrySetValue(HKEY_CURRENT_USER, key, L"Dword", value), ERROR_SUCCESS);
    EXPECT_EQ(regReadString(key, L"Dword", L"d", HKEY_CURRENT_USER), L"\x01");

    // Exactly 1024 bytes without a terminator: the whole buffer, no more.
    value.type = REG_BINARY;
    value.data.assign(1024, 'c');
    ASSERT_EQ(registrySetValue(HKEY_CURRENT_USER, key, L"Full", value), ERROR_SUCCESS);
    EXPECT_EQ(regReadString(key, L"Full", L"d", HKEY_CURRENT_USER), std::wstring(512, L'\x6363'));

    value.type = REG_SZ;
    value.data = {'a', 0, 0, 0, 'b', 0, 0, 0};
    ASSERT_EQ(registrySetValue(HKEY_CURRENT_USER, key, L"Two", value), ERROR_SUCCESS);
    EXPECT_EQ(regReadString(key, L"Two", L"d", HKEY_CURRENT_USER), L"a");
}

TEST_F(registryUtilsTest, failuresAreReported)
{
    // The root itself can be opened but holds no values here: the value
    // write fails and must not be reported as written.
    EXPECT_FALSE(regWriteString(L"", L"Loose", L"x", HKEY_CURRENT_USER));
    EXPECT_FALSE(regWriteString(L"bad\nkey", L"v", L"x", HKEY_CURRENT_USER));

    EXPECT_EQ(regDeleteValue(L"SOFTWARE\\Nobody", L"v", HKEY_CURRENT_USER), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(regWriteString(key, L"SU", L"secret", HKEY_CURRENT_USER));
    EXPECT_EQ(regDeleteValue(key, L"Missing", HKEY_CURRENT_USER), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(regDeleteValue(key, L"su", HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(regReadString(key, L"SU", L"none", HKEY_CURRENT_USER), L"none");
}

}  // namespace
