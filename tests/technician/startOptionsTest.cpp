// The command line of the technician program: the /I flag, the machine
// number and the edition by the program's file name.
#include "technician/startOptions.h"

#include <gtest/gtest.h>

namespace {

struct startCase_t {
    const wchar_t* commandLine;
    bool iFlag;
    int machineNumber;
    const wchar_t* edition;
};

class TechnicianStartOptions : public ::testing::TestWithParam<startCase_t> {};

TEST_P(TechnicianStartOptions, ReadsFlagNumberAndEdition)
{
    const startCase_t& expected = GetParam();
    const startOptions_t options = readStartOptions(expected.commandLine);
    EXPECT_EQ(options.iFlag, expected.iFlag) << expected.commandLine;
    EXPECT_EQ(options.machineNumber, expected.machineNumber) << expected.commandLine;
    EXPECT_EQ(options.edition, expected.edition) << expected.commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, TechnicianStartOptions,
    ::testing::Values(
        startCase_t{L"\"C:\\Program Files\\Corvanta\\Ondrel\\Tovrik.exe\"", false, 0, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" 3", false, 3, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" /i 3", true, 3, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" -I 3", true, 3, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" 3 /I", true, 3, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" 0", false, 0, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" abc", false, 0, L"Tovrik"},
        // The last non-zero number wins; a zero does not clear it.
        startCase_t{L"\"C:\\Tovrik.exe\" 4 7", false, 7, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" 4 0 abc", false, 4, L"Tovrik"},
        // A leading number counts; "/x" and a lone "-" are a switch and a number.
        startCase_t{L"\"C:\\Tovrik.exe\" 12abc /x", false, 12, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" /Ignore", true, 0, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" - /", false, 0, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\" 99999999999", false, 0, L"Tovrik"},
        startCase_t{L"\"C:\\Tovrik.exe\"\t5\t", false, 5, L"Tovrik"},
        // The edition comes from the file title only, in any case.
        startCase_t{L"\"C:\\Apps\\merolt_2.exe\" 2", false, 2, L"Merolt"},
        startCase_t{L"\"Z:\\opt\\MEROLT.EXE\"", false, 0, L"Merolt"},
        startCase_t{L"\"C:\\Merolt\\Tovrik.exe\"", false, 0, L"Tovrik"},
        startCase_t{L"C:\\Merolt.exe /I", true, 0, L"Merolt"}));

}  // namespace
