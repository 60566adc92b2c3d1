#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

namespace {

TEST(globalNamesTest, VersionTexts)
{
    struct case_t {
        double version;
        const wchar_t* text;
    };
    const case_t cases[] = {
        {12.0, L"2.0"},
        {12.3, L"2.30"},
        {12.105, L"2.10 Update 5"},
        {12.05, L"2.5"},
        {10.0, L"0.0"},
        {12.999, L"2.99 Update 9"},
        {13.1, L"3.10"},
        // Values from outside are held inside int.
        {std::numeric_limits<double>::quiet_NaN(), L"0.0"},
        {1e300, L"2147483.64 Update 7"},
        {-1e300, L"-2147483.-64"},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(versionToText(c.version), c.text) << c.version;
}

class globalNamesPrefixTest : public prefixTest {};

TEST_F(globalNamesPrefixTest, DataRootAndItsFilesFollowTheRegistry)
{
    EXPECT_EQ(getBaseFolder(), L"C:/QVR_Printers");
    EXPECT_EQ(getSharedFolder(), L"C:/QVR_Printers/QVR_SHARE");
    EXPECT_EQ(getSearchedServersListPath(), L"C:/QVR_Printers/searchedServersList.txt");
    EXPECT_EQ(getDriverLogPath(), L"C:/QVR_Printers/Wendaro.log");
    ASSERT_TRUE(regWriteString(L"SOFTWARE\\Brevanquillor\\qvrComm", L"BaseDirectory", L"D:/Data", HKEY_CURRENT_USER));
    // Read again on every call.
    EXPECT_EQ(getBaseFolder(), L"D:/Data");
    EXPECT_EQ(getSharedFolder(), L"D:/Data/QVR_SHARE");
}

TEST_F(globalNamesPrefixTest, SlicerFolderAndProgramsFollowTheRegistry)
{
    EXPECT_EQ(getSlicerFolder(), L"C:\\Program Files\\Corvanta\\Ondrel");
    EXPECT_EQ(getSlicerAppPath(), L"C:\\Program Files\\Corvanta\\Ondrel\\Ondrel.exe");
    EXPECT_EQ(getStatusAppPath(), L"C:\\Program Files\\Corvanta\\Ondrel\\Pirmelon.exe");
    const std::wstring key = L"SOFTWARE\\Brevanquillor\\Ondrel";
    ASSERT_TRUE(regWriteString(key, L"directory", L"C:\\Slicer", HKEY_LOCAL_MACHINE));
    EXPECT_EQ(getSlicerAppPath(), L"C:\\Slicer\\Ondrel.exe");
    ASSERT_TRUE(regWriteString(key, L"slicerApp", L"C:\\Other\\s.exe", HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(regWriteString(key, L"Pirmelon", L"C:\\Other\\p.exe", HKEY_LOCAL_MACHINE));
    EXPECT_EQ(getSlicerAppPath(), L"C:\\Other\\s.exe");
    EXPECT_EQ(getStatusAppPath(), L"C:\\Other\\p.exe");
    // The user's key is not where the slicer is looked up.
    ASSERT_TRUE(regWriteString(key, L"directory", L"C:\\User", HKEY_CURRENT_USER));
    EXPECT_EQ(getSlicerFolder(), L"C:\\Slicer");
}

}  // namespace
