// The logs page's tail of a log file: the last 16,384 characters whatever
// their width, read again only when the file's length changed, and a file
// that cannot be read leaving the tail as it was.
#include "technician/pages/logTail.h"
#include "machine/longnameStream.h"
#include "platform/files.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

namespace {

const std::wstring logPath = L"C:/logs/day.LOG";

// The code page's characters for the bytes written: 0xB5 is µ, 0x80 €.
std::wstring decoded(const std::string& bytes)
{
    std::wstring text;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        text += byte == 0xB5 ? L'\u00b5' : byte == 0x80 ? L'\u20ac' : static_cast<wchar_t>(byte);
    }
    return text;
}

// n bytes of lines that end in a line feed and hold wide characters.
std::string logBytes(std::size_t n)
{
    const std::string line = "12:00:01 Z=0.150 \xB5m \x80 ok\n";
    std::string bytes;
    while (bytes.size() < n)
        bytes += line;
    bytes.resize(n);
    return bytes;
}

class LogTail : public prefixTest {};

TEST_F(LogTail, KeepsTheLast16384CharactersOfAnySize)
{
    struct case_t {
        std::size_t bytes;
        std::size_t shown;
    };
    const case_t cases[] = {{0, 0}, {100, 100}, {16383, 16383}, {16384, 16384}, {16385, 16384}, {600000, 16384}};
    for (const case_t& c : cases) {
        const std::string bytes = logBytes(c.bytes);
        ASSERT_TRUE(writeRawFile(logPath, bytes));
        wlongname_ifstream in(logPath);
        logTail_t tail;
        ASSERT_EQ(tail.read(in), logTail_t::read_e) << c.bytes;
        EXPECT_EQ(tail.shownLength(), static_cast<std::int64_t>(c.bytes));
        EXPECT_EQ(tail.text(), decoded(bytes.substr(bytes.size() - c.shown))) << c.bytes;
    }
}

TEST_F(LogTail, ReadsAgainOnlyWhenTheLengthChanged)
{
    ASSERT_TRUE(writeRawFile(logPath, "a\r\nb\r\n"));
    wlongname_ifstream in(logPath);
    logTail_t tail;
    ASSERT_EQ(tail.read(in), logTail_t::read_e);
    // Text mode: CR LF reads as one line feed.
    EXPECT_EQ(tail.text(), L"a\nb\n");
    EXPECT_EQ(tail.read(in), logTail_t::unchanged_e);

    // The server appends while the file is shown (the stream stays open).
    {
        wlongname_ofstream out(logPath, std::ios_base::out | std::ios_base::app);
        out << L"c\n";
    }
    ASSERT_EQ(tail.read(in), logTail_t::read_e);
    EXPECT_EQ(tail.text(), L"a\nb\nc\n");
    tail.forget();
    EXPECT_EQ(tail.read(in), logTail_t::read_e);

    // A file removed while open still reads as it was; one that does not
    // open leaves the tail as it was.
    ASSERT_TRUE(deleteFile(logPath));
    EXPECT_EQ(tail.read(in), logTail_t::unchanged_e);
    wlongname_ifstream missing(logPath);
    tail.forget();
    EXPECT_EQ(tail.read(missing), logTail_t::failed_e);
    EXPECT_EQ(tail.text(), L"a\nb\nc\n");
}

TEST(LogTailLines, TheEndOfTheLogIsInSight)
{
    struct case_t {
        int lines, fit, top;
    };
    // The last 32 lines, or what the view shows when it shows fewer.
    const case_t cases[] = {{1, 20, 0}, {32, 40, 0}, {100, 40, 68}, {100, 20, 80}, {100, 0, 99}};
    for (const case_t& c : cases)
        EXPECT_EQ(logTail_t::firstLineInSight(c.lines, c.fit), c.top) << c.lines << " " << c.fit;
    EXPECT_EQ(logTail_t::lineCount(L""), 1);
    EXPECT_EQ(logTail_t::lineCount(L"a\nb\n"), 3);
}

}  // namespace
