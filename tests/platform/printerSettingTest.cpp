#include "platform/paths.h"
#include "platform/prefix.h"
#include "platform/printerSetting.h"
#include "tests/support/tempPrefix.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using PrinterSettingTest = prefixTest;

// 2026-12-09 14:05:07 UTC (the test prefix runs on UTC).
constexpr std::time_t printTime = 1796825107;

TEST_F(PrinterSettingTest, aNewPrefixPrintsToAFolderOfDriveCUntilAPrinterIsNamed)
{
    EXPECT_EQ(printerSetting().printerName, L"");
    EXPECT_EQ(printerSetting().pdfFolder, L"C:\\Printed");
    ASSERT_TRUE(setConfigValue(L"printer", L"pdffolder", L""));
    EXPECT_EQ(printerSetting().pdfFolder, L"C:\\Printed");
    ASSERT_TRUE(setConfigValue(L"printer", L"name", L"Office Laser"));
    EXPECT_EQ(printerSetting().printerName, L"Office Laser");
}

TEST_F(PrinterSettingTest, fileNamesCarryTheDocumentAndTheTime)
{
    const struct {
        const wchar_t* document;
        int copy;
        const wchar_t* expected;
    } cases[] = {
        {L"Parameters List", 1, L"Parameters List 2026-12-09 140507.pdf"},
        {L"Tovrik Error Details", 3, L"Tovrik Error Details 2026-12-09 140507 (3).pdf"},
        {L"a/b\\c:d*e?f\"g<h>i|j\tk", 1, L"a_b_c_d_e_f_g_h_i_j_k 2026-12-09 140507.pdf"},
        {L"", 1, L"Document 2026-12-09 140507.pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pdfFileName(c.document, printTime, c.copy), c.expected);
}

TEST_F(PrinterSettingTest, everyDocumentOfTheSameSecondGetsAFileOfItsOwn)
{
    const std::wstring folder = L"C:\\Prints of today\\new";
    const auto first = reservePdfFile(folder, L"Parameters List", printTime);
    const auto second = reservePdfFile(folder, L"Parameters List", printTime);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *resolvePath(folder + L"\\Parameters List 2026-12-09 140507.pdf"));
    EXPECT_EQ(*second, *resolvePath(folder + L"\\Parameters List 2026-12-09 140507 (2).pdf"));
    EXPECT_TRUE(std::filesystem::is_regular_file(*second));
    EXPECT_FALSE(reservePdfFile(L"Q:\\unmapped", L"x", printTime));
}

}  // namespace
