#include "machine/superUserPassword.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

TEST(superUserPassword, mirrorTextIsItsOwnInverse) {
    struct case_t {
        const wchar_t* text;
        const wchar_t* mirrored;
    };
    const case_t cases[] = {
        {L"abc", L"zyx"},
        {L"Zz", L"Aa"},
        {L"0129", L"9870"},
        {L"Pass word!", L"Kzhh dliw!"},
        {L"\u00E9\u00DF", L"\u00E9\u00DF"},
        {L"", L""},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(mirrorText(c.text), c.mirrored);
        EXPECT_EQ(mirrorText(mirrorText(c.text)), c.text);
    }
}

class superUserPasswordTest : public prefixTest {};

TEST_F(superUserPasswordTest, storedMirroredAndChangedOnlyWithTheOldOne) {
    EXPECT_FALSE(isSuperUserPasswordSet());
    EXPECT_FALSE(checkSuperUserPassword(L""));
    EXPECT_FALSE(setSuperUserPassword(L"", L"first")); // no first password through it
    EXPECT_FALSE(isSuperUserPasswordSet());

    ASSERT_TRUE(
        regWriteString(qvrCommRegistryKey, superUserValueName, mirrorText(L"Secret42"), HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(isSuperUserPasswordSet());
    EXPECT_TRUE(checkSuperUserPassword(L"Secret42"));
    EXPECT_FALSE(checkSuperUserPassword(L"secret42"));

    EXPECT_FALSE(setSuperUserPassword(L"wrong", L"Other"));
    EXPECT_TRUE(setSuperUserPassword(L"Secret42", L"Other7"));
    EXPECT_EQ(regReadString(qvrCommRegistryKey, superUserValueName, L"", HKEY_LOCAL_MACHINE), L"Lgsvi2");
    EXPECT_TRUE(checkSuperUserPassword(L"Other7"));
    EXPECT_FALSE(checkSuperUserPassword(L"Secret42"));
}
