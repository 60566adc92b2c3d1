#include "platform/codePage.h"
#include "platform/fileHandle.h"
#include "platform/lastError.h"
#include "tests/support/tempPrefix.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

using FileHandleTest = prefixTest;

std::string readAll(fileHandle_t& f) {
    std::string out;
    char buffer[7];  // small on purpose: CR LF pairs get split between reads
    for (;;) {
        const std::size_t n = f.read(buffer, sizeof buffer);
        if (n == 0) break;
        out.append(buffer, n);
    }
    return out;
}

TEST_F(FileHandleTest, textModeWritesCrLfAndReadsItBack) {
    // A parameters file line with the µ of the tools column, as the file format has it.
    const std::string lines = "QVR Parameters File Version 2\nTools Parameters\n" + wideToAnsi(L"Tool\tLength [\u00B5m]\n") + "\nend";
    fileHandle_t out;
    ASSERT_TRUE(out.open(L"C:/Settings.txt", "w"));
    ASSERT_TRUE(out.write(lines.data(), 20));
    ASSERT_TRUE(out.write(lines.data() + 20, lines.size() - 20));
    EXPECT_EQ(out.tell(), static_cast<std::int64_t>(lines.size() + 4));  // four LF became CR LF
    ASSERT_TRUE(out.close());

    const std::string expected =
        "QVR Parameters File Version 2\r\nTools Parameters\r\nTool\tLength [\xB5m]\r\n\r\nend";
    EXPECT_EQ(readRawFile(L"C:/Settings.txt").value_or(""), expected);

    fileHandle_t in;
    ASSERT_TRUE(in.open(L"c:\\settings.TXT", "r"));
    EXPECT_EQ(readAll(in), lines);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(in.tell(), static_cast<std::int64_t>(expected.size()));

    fileHandle_t binary;
    ASSERT_TRUE(binary.open(L"C:/Settings.txt", "rb"));
    EXPECT_FALSE(binary.isText());
    EXPECT_EQ(readAll(binary), expected);
}

TEST_F(FileHandleTest, positionsAreByteOffsetsOfTheFile) {
    ASSERT_TRUE(writeRawFile(L"C:/script.txt", "ab\r\ncd\r\n\r\nlast\rx"));
    fileHandle_t f;
    ASSERT_TRUE(f.open(L"C:/script.txt", "rt"));
    struct step_t {
        std::size_t read;
        const char* text;
        std::int64_t position;
    };
    // Each row reads some characters and checks the byte offset after them.
    const step_t steps[] = {{2, "ab", 2}, {1, "\n", 4}, {3, "cd\n", 8}, {1, "\n", 10}, {7, "last\rx", 16}};
    for (const auto& s : steps) {
        std::string got(s.read, '\0');
        got.resize(f.read(got.data(), s.read));
        EXPECT_EQ(got, s.text);
        EXPECT_EQ(f.tell(), s.position) << s.text;
    }
    // Seeking back to a remembered offset reads the same text again.
    EXPECT_EQ(f.seek(4, SEEK_SET), 4);
    char c[3] = {};
    EXPECT_EQ(f.read(c, 3), 3u);
    EXPECT_EQ(std::string(c, 3), "cd\n");
    EXPECT_EQ(f.seek(-2, SEEK_END), 14);
    EXPECT_EQ(f.read(c, 3), 2u);
    EXPECT_EQ(std::string(c, 2), "\rx");
    EXPECT_EQ(f.seek(-1, SEEK_SET), -1);
}

TEST_F(FileHandleTest, ctrlZEndsATextReadButNotABinaryOne) {
    ASSERT_TRUE(writeRawFile(L"C:/z.txt", std::string("one\r\ntwo\x1A" "hidden\r\n", 17)));
    fileHandle_t text;
    ASSERT_TRUE(text.open(L"C:/z.txt", "r"));
    EXPECT_EQ(readAll(text), "one\ntwo");
    EXPECT_TRUE(text.atEnd());
    EXPECT_EQ(text.tell(), 8);  // on the 0x1A
    char c;
    EXPECT_EQ(text.read(&c, 1), 0u);

    fileHandle_t binary;
    ASSERT_TRUE(binary.open(L"C:/z.txt", "rb"));
    EXPECT_EQ(readAll(binary).size(), 17u);
}

TEST_F(FileHandleTest, modesAppendUpdateAndFailures) {
    ASSERT_TRUE(writeRawFile(L"C:/log.txt", "a\r\n"));
    {
        fileHandle_t f;
        ASSERT_TRUE(f.open(L"C:/LOG.txt", "a"));
        EXPECT_EQ(f.tell(), 3);
        ASSERT_TRUE(f.write("b\n", 2));
        EXPECT_EQ(f.tell(), 6);
    }
    EXPECT_EQ(readRawFile(L"C:/log.txt").value_or(""), "a\r\nb\r\n");
    {
        fileHandle_t f;  // update: read, then overwrite in place
        ASSERT_TRUE(f.open(L"C:/log.txt", "r+b"));
        char c;
        ASSERT_EQ(f.read(&c, 1), 1u);
        ASSERT_TRUE(f.write("X", 1));
        EXPECT_EQ(f.tell(), 2);
        ASSERT_EQ(f.read(&c, 1), 1u);
        EXPECT_EQ(c, '\n');
    }
    EXPECT_EQ(readRawFile(L"C:/log.txt").value_or(""), "aX\nb\r\n");

    struct row_t {
        const wchar_t* path;
        const char* mode;
        DWORD error;
    };
    ASSERT_TRUE(writeRawFile(L"C:/dir/f.txt", ""));
    const row_t failures[] = {
        {L"C:/missing.txt", "r", ERROR_FILE_NOT_FOUND},
        {L"C:/nofolder/x.txt", "w", ERROR_PATH_NOT_FOUND},
        {L"C:/dir", "r", ERROR_ACCESS_DENIED},
        {L"C:/dir/f.txt", "rw", ERROR_INVALID_PARAMETER},
        {L"C:/dir/f.txt", "x", ERROR_INVALID_PARAMETER},
    };
    for (const auto& r : failures) {
        fileHandle_t f;
        setLastError(0);
        EXPECT_FALSE(f.open(r.path, r.mode)) << r.mode;
        EXPECT_FALSE(f.isOpen());
        EXPECT_EQ(getLastError(), r.error) << r.mode;
    }
    fileHandle_t readOnly;
    ASSERT_TRUE(readOnly.open(L"C:/dir/f.txt", "r"));
    EXPECT_FALSE(readOnly.write("x", 1));
    EXPECT_FALSE(readOnly.open(L"C:/dir/f.txt", "r"));  // already has a file
}

}  // namespace
