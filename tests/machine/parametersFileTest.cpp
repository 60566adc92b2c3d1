#include "machine/parametersFile.h"
#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/openedParams.h"
#include "machine/textUtils.h"
#include "machine/toolInfo.h"
#include "machine/wstr.h"
#include "platform/files.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const std::wstring filePath = L"C:/Settings/MachineParameters.txt";

// The default record as it is written by machine 12 at version 1120, from
// the file format itself: CR LF line ends, 0xB5 for the micro sign.
const std::string literalHead =
    "QVR Parameters File Version\r\n"
    "2.0\r\n"
    "\r\n"
    "QVR Machine ID\r\n"
    "12\r\n"
    "\r\n"
    "// First comment line\r\n"
    "// second one\r\n"
    "\r\n"
    "Lines Starting Speed;Starting speed [V0] for the lines motor movement (negative value);speed\r\n"
    "-4095\r\n"
    "\r\n"
    "Feeder Encoder Step-Size;Interval between feeder-encoder ticks when feeder is moving;nano,feeder\r\n"
    "4420000\r\n"
    "\r\n"
    "PVC length tolerance;Tolerance for accepting roller-teeth media-amount check (0% will always accept "
    "sensor);percent\r\n"
    "5\r\n"
    "\r\n";

const std::string literalAroundGap =
    "Pump Start-Pos Delta;Max. delta per layer of pump start position;nano,pump\r\n"
    "1000000\r\n"
    "\r\n"
    "Lift Model Max Time;Max. time after lifting model, before machine undos the lifting and restores to "
    "model "
    "completed state;ms\r\n"
    "600000\r\n"
    "\r\n";

const std::string literalTail =
    "Re-Check Height Pause Time;Min. pause time for re-doing height check after the pause;ms\r\n"
    "600000\r\n"
    "\r\n"
    "Tools Parameters\r\n"
    "// #   Loc DZ-Pen(\xB5m)  DZ-Table-Up(\xB5m)  Speed  Refill Len + Time   Diameter  Active?  Sensor?\r\n"
    "   0    0       0             0       116            0        0        0       ON      OFF\r\n"
    "   1    0       0             0         0            0        0        0      OFF      OFF\r\n"
    "   2   13  -12851        -12851    -12851          205      205      205       ON       ON\r\n"
    "   3   13  -12851        -12851    -12851          205      205      205       ON       ON\r\n"
    "   4    1    2000         -1000       116           20        2       10       ON       ON\r\n"
    "   5    2    2000         -1000       116           20        2       30       ON       ON\r\n"
    "   6    3    2000         -1200       116           25        3       60       ON       ON\r\n"
    "   7    4    2000         -1200       116           25        3       60       ON      OFF\r\n"
    "   8   13  -12851        -12851    -12851          205      205      205       ON       ON\r\n"
    "   9    5    1500          -500        12            0        0        0       ON      OFF\r\n"
    "  10   13  -12851        -12851    -12851          205      205      205       ON       ON\r\n"
    "  11   13  -12851        -12851    -12851          205      205      205       ON       ON\r\n"
    "\r\n"
    "Glue Parameters\r\n"
    " 0 1190000 20000000 317000 , 90000000\r\n"
    " 0 1190000 20000000 507000 40000000 238000 , 100000000\r\n"
    " 0 1190000 20000000 507000 40000000 317000 , 110000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 238000 , 120000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 317000 , 130000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 238000 , 140000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 317000 , 150000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 238000 , "
    "160000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 317000 , "
    "170000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "238000 "
    ", 180000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "317000 "
    ", 190000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 238000 , 200000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 317000 , 210000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 238000 , 220000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 317000 , 230000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 238000 , 240000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 317000 , 250000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 507000 200000000 238000 , 260000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 507000 200000000 317000 , 270000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 507000 200000000 507000 220000000 238000 , 280000000\r\n"
    " 0 1190000 20000000 507000 40000000 507000 60000000 507000 80000000 507000 100000000 507000 120000000 "
    "507000 "
    "140000000 507000 160000000 507000 180000000 507000 200000000 507000 220000000 332000 , 292000000\r\n";

// One parameter block as the file holds it.
std::string block(int index, std::int32_t value) {
    return wstrToStr(parameterAt(index)->text()) + "\r\n" + wstrToStr(toStr(value)) + "\r\n\r\n";
}

// The whole expected file of the default record: the literal parts above,
// the other blocks from the descriptor texts and the defaults.
std::string expectedDefaultFile() {
    std::string text = literalHead;
    for (int i = 4; i <= 51; ++i)
        text += block(i, getDefaultParameterTable()[i]);
    text += literalAroundGap;
    for (int i = 55; i <= 126; ++i)
        text += block(i, getDefaultParameterTable()[i]);
    return text + literalTail;
}

parameterMemory_t defaultImage() {
    return getDefaultParameterTable();
}

// A memory that no file read may leave unchanged by accident.
parameterMemory_t sentinelImage() {
    parameterMemory_t image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::int32_t>(0x5A5A0000u + i);
    return image;
}

// A file's lines with CR LF.
std::string crlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The default file's text without the block of one index (LF line ends).
std::string withoutBlock(std::string text, int index) {
    const std::string head = wstrToStr(parameterAt(index)->text()) + "\n";
    const std::size_t at = text.find(head);
    const std::size_t end = text.find("\n\n", at);
    text.erase(at, end + 2 - at);
    return text;
}

class parametersFileTest : public prefixTest {
protected:
    void SetUp() override { ASSERT_TRUE(createDirectory(L"C:/Settings")); }
    void writeDefault(const std::wstring& comment = L"") {
        const parameterMemory_t image = defaultImage();
        ASSERT_TRUE(writeParametersFile(filePath, image, 12, true, comment));
    }
    std::string defaultText() const { return parametersFileText(defaultImage(), 12, true, L""); }
};

} // namespace

TEST_F(parametersFileTest, writesTheDefaultRecordByteForByte) {
    writeDefault(L"First comment line\r\nsecond one\n\r\n");
    const std::optional<std::string> bytes = readRawFile(filePath);
    ASSERT_TRUE(bytes.has_value());
    const std::string expected = expectedDefaultFile();
    EXPECT_EQ(bytes->size(), expected.size());
    EXPECT_EQ(*bytes, expected);
}

TEST_F(parametersFileTest, readingBackGivesTheSameMemoryToolsAndProfiles) {
    writeDefault(L"First comment line\r\nsecond one");
    parameterMemory_t image{};
    std::vector<glueProfile_t> profiles;
    std::wstring comment;
    bool applied = false;
    EXPECT_EQ(readParametersFile(filePath, image, true, &profiles, &comment, &applied), L"");
    EXPECT_TRUE(applied);
    EXPECT_EQ(comment, L"First comment line\r\nsecond one\r\n");

    const parameterMemory_t& defaults = getDefaultParameterTable();
    EXPECT_EQ(image[0], 0) << "word 0 is never read from a file";
    for (int i = 1; i < paramLayout::factoryBlockWord; ++i)
        EXPECT_EQ(image[i], defaults[i]) << "word " << i;
    toolTable_t readTools{}, defaultTools{};
    readToolTable(image, readTools.data());
    readToolTable(defaults, defaultTools.data());
    EXPECT_EQ(readTools, defaultTools);
    std::vector<glueProfile_t> defaultProfiles;
    unpackGlueTable(defaultProfiles, glueRegionOf(std::span<const std::int32_t>(defaults), true), true);
    EXPECT_EQ(profiles, defaultProfiles);
    EXPECT_EQ(profiles.size(), 21u);

    // Written again with the comment read back: the same bytes.
    const std::string first = *readRawFile(filePath);
    ASSERT_TRUE(writeParametersFile(filePath, image, 12, true, comment));
    EXPECT_EQ(*readRawFile(filePath), first);
}

TEST_F(parametersFileTest, fullGlueFormRoundTrips) {
    parameterMemory_t image = defaultImage();
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(image), true), true);
    profiles[0].drops.push_back({12345678, 1234567}); // kept exactly by the full form
    ASSERT_TRUE(packGlueTable(profiles, glueRegionOf(std::span<std::int32_t>(image), false), false));
    ASSERT_TRUE(writeParametersFile(filePath, image, 7, false, L""));

    parameterMemory_t back{};
    std::vector<glueProfile_t> read;
    EXPECT_EQ(readParametersFile(filePath, back, false, &read, nullptr), L"");
    EXPECT_EQ(read, profiles);
    // The packed table's bytes; what lies beyond them is not the table's.
    ASSERT_EQ(image[paramLayout::glueTableWord], 8 + 21 * 8 + 153 * 8);
    for (int w = paramLayout::glueTableWord;
         w < paramLayout::glueTableWord + image[paramLayout::glueTableWord] / 4; ++w)
        EXPECT_EQ(back[w], image[w]) << "word " << w;
}

TEST_F(parametersFileTest, refusedFilesLeaveEverythingAsItWas) {
    writeDefault();
    const std::string good = *readRawFile(filePath);
    const std::size_t glueAt = good.find("Glue Parameters");
    std::string binary = good;
    binary[100] = '\0';
    std::string enormous = good;
    while (enormous.size() <= 3 * parametersFileLimit)
        enormous += "// padding comment line that makes the file far larger than any parameters file\r\n";
    struct refusal_t {
        const char* name;
        std::string bytes;
    };
    const refusal_t cases[] = {
        {"empty", ""},
        {"cut inside a parameter block", good.substr(0, good.size() / 3)},
        {"cut inside a tool row", good.substr(0, good.find("   5    2") + 7)},
        {"cut inside the last glue line", good.substr(0, good.size() - 12)},
        {"cut inside the first glue line", good.substr(0, glueAt + 30)},
        {"binary", binary},
        {"enormous", enormous},
        {"random bytes", std::string("\x7f\x45\x4c\x46\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16)},
    };
    for (const refusal_t& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeRawFile(filePath, c.bytes));
        parameterMemory_t image = sentinelImage();
        std::vector<glueProfile_t> profiles{glueProfile_t{5, {{1, 2}}}};
        std::wstring comment = L"kept";
        bool applied = true;
        const std::wstring error = readParametersFile(filePath, image, true, &profiles, &comment, &applied);
        EXPECT_NE(error.find(notParametersFileText), std::wstring::npos) << wstrToStr(error);
        EXPECT_FALSE(applied);
        EXPECT_EQ(image, sentinelImage());
        ASSERT_EQ(profiles.size(), 1u);
        EXPECT_EQ(profiles[0].key, 5);
        EXPECT_EQ(comment, L"kept");
    }
}

TEST_F(parametersFileTest, missingFileIsCannotOpen) {
    parameterMemory_t image = sentinelImage();
    EXPECT_EQ(readParametersFile(L"C:/Settings/none.txt", image, true, nullptr, nullptr),
              L"Cannot open file");
    EXPECT_EQ(image, sentinelImage());
}

// Reads a file made from the default file's text (LF line ends) into an
// image that starts as the sentinel.
struct readResult_t {
    std::wstring error;
    parameterMemory_t image;
    std::wstring comment;
    bool applied = false;
};

readResult_t readText(const std::string& lfText) {
    readResult_t result;
    EXPECT_TRUE(writeRawFile(filePath, crlf(lfText)));
    result.image = sentinelImage();
    result.error =
        readParametersFile(filePath, result.image, true, nullptr, &result.comment, &result.applied);
    return result;
}

TEST_F(parametersFileTest, reportsMissingParametersByName) {
    std::string text = defaultText();
    for (int index : {5, 53 + 1, 127})
        text = withoutBlock(text, index);
    const readResult_t r = readText(text);
    EXPECT_EQ(r.error, L"Feeder Upper to safe distance\nLift Model Max Time\nRe-Check Height Pause Time\n");
    EXPECT_TRUE(r.applied);
    // Found values are stored, missing ones keep what the memory held.
    EXPECT_EQ(r.image[6], 142000000);
    EXPECT_EQ(r.image[5], sentinelImage()[5]);
    EXPECT_EQ(r.image[0], sentinelImage()[0]);
}

TEST_F(parametersFileTest, twentySixMissingIsNoParametersFile) {
    std::string text = defaultText();
    for (int index = 1; index <= 26; ++index)
        text = withoutBlock(text, index);
    const readResult_t r = readText(text);
    std::wstring expected;
    for (int index = 1; index <= 25; ++index)
        expected += parameterAt(index)->name() + L"\n";
    expected += L"\nToo many parameters are missings. This is not a parameters file.\n";
    EXPECT_EQ(r.error, expected);
    EXPECT_FALSE(r.applied);
    EXPECT_EQ(r.image, sentinelImage());
}

TEST_F(parametersFileTest, incompleteToolTableKeepsTheOldOne) {
    std::string text = defaultText();
    const std::size_t row11 = text.find("  11   13");
    text.erase(row11, text.find('\n', row11) + 1 - row11);
    const readResult_t r = readText(text);
    EXPECT_EQ(r.error, L"\n1 tool info's are missing\n");
    for (int w = paramLayout::toolTableWord; w < paramLayout::toolTableWord + 30; ++w)
        EXPECT_EQ(r.image[w], sentinelImage()[w]) << "word " << w;
    // The glue section after the broken table is still read.
    EXPECT_EQ(r.image[paramLayout::glueTableWord] & 0xFFFF, 696);

    // Rows out of order end the table too.
    std::string swapped = defaultText();
    const std::size_t row3 = swapped.find("   3   13");
    swapped[row3 + 3] = '4';
    EXPECT_EQ(readText(swapped).error, L"\n9 tool info's are missing\n");
}

TEST_F(parametersFileTest, commentLinesNeedMoreThanThreeCharacters) {
    const std::string head = "QVR Parameters File Version\n2.0\n\n";
    const readResult_t r =
        readText(head + "//\n// \n//x\n// x\n//  two spaces\n" + defaultText().substr(head.size()));
    EXPECT_EQ(r.error, L"");
    EXPECT_EQ(r.comment, L"x\r\n two spaces\r\n");
}

TEST_F(parametersFileTest, oneCharacterDifferenceIsMissing) {
    std::string text = defaultText();
    const std::size_t at = text.find("Circle Acceleration;The acceleration allowed when drawing cricles");
    ASSERT_NE(at, std::string::npos);
    text.replace(text.find("cricles", at), 7, "circles");
    const readResult_t r = readText(text);
    EXPECT_EQ(r.error, L"Circle Acceleration\n");
    EXPECT_EQ(r.image[28], sentinelImage()[28]);
}

TEST_F(parametersFileTest, blocksInAnotherOrderReadTheSame) {
    // The last and a middle block moved before the first one.
    std::string text = defaultText();
    std::string moved;
    for (int index : {127, 64}) {
        const std::string head = wstrToStr(parameterAt(index)->text()) + "\n";
        const std::size_t at = text.find(head);
        moved += text.substr(at, text.find("\n\n", at) + 2 - at);
        text = withoutBlock(text, index);
    }
    text.insert(text.find(wstrToStr(parameterAt(1)->text())), moved);
    const readResult_t r = readText(text);
    EXPECT_EQ(r.error, L"");
    for (int index : {1, 63, 64, 65, 127})
        EXPECT_EQ(r.image[index], getDefaultParameterTable()[index]) << index;
}

TEST_F(parametersFileTest, valueThatIsNoNumberStopsTheReading) {
    struct case_t {
        const char* value;
    };
    for (const char* value : {"abc", "99999999999", "-2147483649"}) {
        SCOPED_TRACE(value);
        std::string text = defaultText();
        const std::string head = wstrToStr(parameterAt(120)->text()) + "\n";
        const std::size_t at = text.find(head) + head.size();
        text.replace(at, text.find('\n', at) - at, value);
        const readResult_t r = readText(text);
        // Everything from index 120 on is missing, the tools and glue as well.
        std::wstring expected;
        for (int index = 120; index <= 127; ++index)
            expected += parameterAt(index)->name() + L"\n";
        expected += L"\n12 tool info's are missing\n\nGlue profiles are missing\n";
        EXPECT_EQ(r.error, expected);
        EXPECT_EQ(r.image[119], getDefaultParameterTable()[119]);
        EXPECT_EQ(r.image[120], sentinelImage()[120]);
    }
}

// The file's lines (LF text) with lines from..to (1 = the first) replaced.
std::string withLines(const std::string& lf, int from, int to, const std::string& replacement) {
    std::size_t start = 0;
    for (int n = 1; n < from; ++n)
        start = lf.find('\n', start) + 1;
    std::size_t end = start;
    for (int n = from; n <= to; ++n)
        end = lf.find('\n', end) + 1;
    return lf.substr(0, start) + replacement + lf.substr(end);
}

// A file that is to replace the machine's parameters is taken only when
// what it holds reads as the writer writes it; otherwise nothing changes and
// the first fault is named with its line. Lines of other versions are passed
// over and parameters the file does not hold keep the image's values. (The
// faults that the technician meets most, a value beyond 32 bits, a file cut
// short, a broken tool row or glue line, an empty glue section and a tool
// value beyond its field, and files of other versions, are checked through
// the page that applies the file.)
TEST_F(parametersFileTest, wholeReadingTakesOnlyACleanFile) {
    const std::string good = defaultText();
    std::string manyProfiles;
    for (int k = 0; k < 60; ++k)
        manyProfiles += " 0 1190000 20000000 317000 40000000 1000 , " + std::to_string(300000000 + k * 10000) + "\n";
    struct case_t {
        const char* what;
        std::string text;
        std::wstring error;
        bool whole = true;  // else the end of the error text
        std::vector<int> kept = {};  // taken: the words that keep the image's value
    };
    const case_t cases[] = {
        {"the writer's file, comments and blank lines", "// a note\n  \n" + good, L""},
        {"a descriptor text changed: passed over with its value",
         withLines(good, 88, 88, "Circle Acceleration;circles\n"), L"", true, {28}},
        // The machine number is never read: any 32-bit form, signed or not.
        {"the machine number at the top of the unsigned range", withLines(good, 5, 5, "4294967295\n"), L""},
        {"the machine number at the bottom of the signed range", withLines(good, 5, 5, "-2147483648\n"), L""},
        {"a machine number above 32 bits", withLines(good, 5, 5, "4294967296\n"),
         L"Line 5: the value of \"QVR Machine ID\" is not a whole number that fits in 32 bits"},
        {"a machine number below 32 bits", withLines(good, 5, 5, "-2147483649\n"),
         L"Line 5: the value of \"QVR Machine ID\" is not a whole number that fits in 32 bits"},
        {"a value with more after it", withLines(good, 8, 8, "-4095x\n"),
         L"Line 8: the value of \"Lines Starting Speed\" is not a whole number that fits in 32 bits"},
        {"a location beyond its field",
         withLines(good, 387, 387, "   0   64       0             0       116            0        0        0       ON      OFF\n"),
         L"Line 387: tool 0: the location 64 does not fit its field (0 to 63)"},
        {"a switch word that is neither ON nor OFF",
         withLines(good, 387, 387, "   0    0       0             0       116            0        0        0       ON      0FF\n"),
         L"Line 387: tool row 0 cannot be read"},
        {"no tools section", withLines(good, 385, 399, ""),
         L"Line 406: the file ends without the \"Tools Parameters\" section"},
        {"a glue line without its key, which would join the next one",
         withLines(good, 401, 401, " 0 1190000 20000000 317000\n"), L"Line 401: the glue profile cannot be read"},
        {"a glue key beyond the compact field", withLines(good, 401, 401, " 0 1190000 20000000 317000 , 700000000\n"),
         L"Line 401: a value of the glue profile does not fit its field"},
        {"more glue than the table holds", good + manyProfiles, L"Line 400: the glue profiles do not fit the glue table"},
        {"no parameters file at all", "12:00 READY\n", L"\nToo many parameters are missings. This is not a parameters file.\n",
         false},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeRawFile(filePath, crlf(c.text)));
        parameterMemory_t image = sentinelImage();
        const std::wstring error = readWholeParametersFile(filePath, image, true);
        EXPECT_EQ(c.whole ? error : error.substr(error.size() - std::min(error.size(), c.error.size())), c.error);
        if (c.error.empty()) {
            for (int i = 1; i < paramLayout::parameterWords; ++i) {
                const bool kept = i == 53 || std::find(c.kept.begin(), c.kept.end(), i) != c.kept.end();
                EXPECT_EQ(image[i], kept ? sentinelImage()[i] : getDefaultParameterTable()[i])
                    << "word " << i;
            }
        } else {
            EXPECT_EQ(image, sentinelImage());
        }
    }
}

TEST_F(parametersFileTest, failedWriteKeepsTheOldFile) {
    writeDefault();
    const std::string before = *readRawFile(filePath);
    parameterMemory_t other = defaultImage();
    other[1] = 77;

    // A file-size limit makes every write fail, for any user.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeParametersFile(filePath, other, 12, true, L"");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(*readRawFile(filePath), before);

    // A read-only folder (only a user without override rights is stopped by it).
    const std::string folder = linuxPathOf(L"C:/Settings");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    if (geteuid() != 0) {
        EXPECT_FALSE(writeParametersFile(filePath, other, 12, true, L""));
        EXPECT_EQ(*readRawFile(filePath), before);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);

    // A missing folder.
    EXPECT_FALSE(writeParametersFile(L"C:/Missing/MachineParameters.txt", other, 12, true, L""));
    // No temporary files are left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(parametersFileTest, factoryBlockImageStaysInsideTheMemory) {
    // The factory block is handed over as the image from word 384 on.
    parameterMemory_t memory = defaultImage();
    std::span<const std::int32_t> factory =
        std::span<const std::int32_t>(memory).subspan(paramLayout::factoryBlockWord);
    ASSERT_TRUE(writeParametersFile(filePath, factory, 12, true, L""));
    const std::string text = *readRawFile(filePath);
    EXPECT_NE(
        text.find(
            "# Pulses For Roll Average;Minimal number of roller teeth sensor pulses for doing roller-length "
            "calculations\r\n50\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("   4    1    1800          -900"), std::string::npos);

    parameterMemory_t back = sentinelImage();
    std::span<std::int32_t> backFactory =
        std::span<std::int32_t>(back).subspan(paramLayout::factoryBlockWord);
    EXPECT_EQ(readParametersFile(filePath, backFactory, true, nullptr, nullptr), L"");
    for (int i = 1; i < 128; ++i) {
        if (i != 53) {
            EXPECT_EQ(back[384 + i], memory[384 + i]) << "factory word " << i;
        }
    }
    // A full-form glue region would reach past the memory: it is clipped.
    EXPECT_EQ(readParametersFile(filePath, backFactory, false, nullptr, nullptr), L"");
    for (int i = 0; i < paramLayout::factoryBlockWord; ++i)
        EXPECT_EQ(back[i], sentinelImage()[i]) << "word " << i;
}

TEST_F(parametersFileTest, openedParamsLinesFindParametersByName) {
    const std::string text = "7 Wait Before Feeding\n0 Machine ID\n120   Machine Flags\n64 No Such Name\n"
                             "x 12 stops here\n1 Lines Starting Speed\n";
    parameterMemory_t image{};
    image[paramLayout::openedBitmapWord + 3] = -1; // cleared first
    std::istringstream in(text);
    readOpenedParams(in, image);
    const std::uint32_t word0 = static_cast<std::uint32_t>(image[paramLayout::openedBitmapWord]);
    EXPECT_EQ(word0, (1u << 15) | 1u);
    EXPECT_EQ(image[paramLayout::openedBitmapWord + 1], 0);
    EXPECT_EQ(image[paramLayout::openedBitmapWord + 2], 0);
    EXPECT_EQ(static_cast<std::uint32_t>(image[paramLayout::openedBitmapWord + 3]), 1u << (120 - 96));

    EXPECT_EQ(openedParamsText(image), "0 Machine ID\n15 Wait Before Feeding\n120 Machine Flags\n\n");
}
