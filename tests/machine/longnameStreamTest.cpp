#include "machine/fileUtils.h"
#include "machine/longnameStream.h"
#include "machine/wstr.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using std::ios_base;

class longnameStreamTest : public prefixTest {};

TEST_F(longnameStreamTest, onlyTheKnownModesOpen)
{
    const ios_base::openmode in = ios_base::in, out = ios_base::out, trunc = ios_base::trunc,
                             app = ios_base::app, bin = ios_base::binary;
    struct case_t {
        ios_base::openmode mode;
        bool opens;
        std::string after;  // the file after writing "x" (when the mode writes)
    };
    const std::string before = "ab\r\n";
    const case_t cases[] = {
        {in, true, before},
        {out, true, "x"},
        {out | trunc, true, "x"},
        {out | app, true, before + "x"},
        {in | bin, true, before},
        {out | bin, true, "x"},
        {out | trunc | bin, true, "x"},
        {out | app | bin, true, before + "x"},
        {in | out, true, "xb\r\n"},
        {in | out | trunc, true, "x"},
        {in | out | app, true, before + "x"},
        {in | out | bin, true, "xb\r\n"},
        {in | out | trunc | bin, true, "x"},
        {in | out | app | bin, true, before + "x"},
        {in | trunc, false, before},
        {in | app, false, before},
        {app, false, before},
        {trunc, false, before},
        {bin, false, before},
        {ios_base::ate, false, before},
        {out | trunc | app, false, before},
        {in | out | trunc | app, false, before},
    };
    int row = 0;
    for (const case_t& c : cases) {
        const std::wstring path = wstr_t(L"C:/modes/") << row++ << L".txt";
        ASSERT_TRUE(writeRawFile(path, before));
        longname_filebuf buffer;
        EXPECT_EQ(buffer.open(path, c.mode) != nullptr, c.opens) << "row " << row - 1;
        EXPECT_EQ(buffer.is_open(), c.opens);
        if (c.opens && (c.mode & out)) {
            EXPECT_EQ(buffer.sputc('x'), 'x');
        }
        if (c.opens) {
            EXPECT_NE(buffer.close(), nullptr);
        }
        EXPECT_EQ(readRawFile(path), c.after) << "row " << row - 1;
    }
}

TEST_F(longnameStreamTest, failedOpensLeaveNoFile)
{
    longname_ifstream missing(L"C:/nothing/here.txt");
    EXPECT_TRUE(missing.fail());
    EXPECT_FALSE(missing.is_open());

    ASSERT_TRUE(writeRawFile(L"C:/one.txt", "1"));
    longname_ifstream wrongMode(L"C:/one.txt", ios_base::trunc);
    EXPECT_TRUE(wrongMode.fail());
    EXPECT_FALSE(wrongMode.is_open());

    longname_filebuf buffer;
    ASSERT_NE(buffer.open(L"C:/one.txt", ios_base::in), nullptr);
    EXPECT_EQ(buffer.open(L"C:/one.txt", ios_base::in), nullptr) << "a buffer holds one file";
    EXPECT_NE(buffer.close(), nullptr);
    EXPECT_EQ(buffer.close(), nullptr);

    longname_ofstream closed;
    closed.close();
    EXPECT_TRUE(closed.fail());
}

TEST_F(longnameStreamTest, ateStartsAtTheEnd)
{
    ASSERT_TRUE(writeRawFile(L"C:/log.txt", "hello"));
    {
        longname_ofstream out(L"C:/log.txt", ios_base::in | ios_base::out | ios_base::ate);
        ASSERT_TRUE(out.is_open());
        EXPECT_EQ(out.tellp(), 5);
        out << " world";
    }
    EXPECT_EQ(readRawFile(L"C:/log.txt"), "hello world");
    longname_ifstream in(L"C:/log.txt", ios_base::ate);
    EXPECT_EQ(in.tellg(), 11);
}

TEST_F(longnameStreamTest, textModeWritesCrLfAndReadsItBack)
{
    {
        longname_ofstream out(L"C:/t.txt");
        out << "a\nb\n" << 12;
    }
    EXPECT_EQ(readRawFile(L"C:/t.txt"), "a\r\nb\r\n12");
    {
        longname_ofstream out(L"C:/t.txt", ios_base::app);
        out << "\nend";
    }
    EXPECT_EQ(readRawFile(L"C:/t.txt"), "a\r\nb\r\n12\r\nend");

    longname_ifstream text(L"C:/t.txt");
    std::string all((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "a\nb\n12\nend");
    longname_ifstream binary(L"C:/t.txt", ios_base::binary);
    std::string raw((std::istreambuf_iterator<char>(binary)), std::istreambuf_iterator<char>());
    EXPECT_EQ(raw, "a\r\nb\r\n12\r\nend");

    ASSERT_TRUE(writeRawFile(L"C:/z.txt", "ab\x1A" "cd"));
    longname_ifstream stopped(L"C:/z.txt");
    std::string line;
    std::getline(stopped, line);
    EXPECT_EQ(line, "ab") << "0x1A ends a text-mode read";
}

TEST_F(longnameStreamTest, wideStreamsUseTheSystemCodePage)
{
    {
        wlongname_ofstream out(L"C:/w.txt");
        out << L"5 \u00B5m\n\u20AC" << L'\x4E2D' << 2.5;
    }
    EXPECT_EQ(readRawFile(L"C:/w.txt"), "5 \xB5m\r\n\x80?2.5");

    wlongname_ifstream in(L"C:/w.txt");
    std::wstring first;
    std::getline(in, first);
    EXPECT_EQ(first, L"5 \u00B5m");
    wchar_t euro = 0;
    in.get(euro);
    EXPECT_EQ(euro, L'\u20AC');
    EXPECT_EQ(in.tellg(), 7);

    wlongname_filebuf buffer;
    ASSERT_NE(buffer.open(L"C:/w.txt", ios_base::in), nullptr);
    EXPECT_EQ(buffer.sgetc(), L'5');
}

TEST_F(longnameStreamTest, positionsAreByteOffsetsInTextMode)
{
    ASSERT_TRUE(writeRawFile(L"C:/p.txt", "ab\r\ncd\r\nef"));
    longname_ifstream in(L"C:/p.txt");
    EXPECT_EQ(in.tellg(), 0);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "ab");
    EXPECT_EQ(in.tellg(), 4);
    EXPECT_EQ(in.get(), 'c');
    EXPECT_EQ(in.tellg(), 5);
    in.putback('c');
    EXPECT_EQ(in.tellg(), 4);
    EXPECT_EQ(in.get(), 'c');
    in.seekg(8);
    EXPECT_EQ(in.get(), 'e');
    in.seekg(-1, ios_base::cur);
    EXPECT_EQ(in.tellg(), 8);
    in.seekg(-4, ios_base::end);
    EXPECT_EQ(in.get(), '\n');
    EXPECT_EQ(in.tellg(), 8);
    EXPECT_EQ(streamSize(in), 10);
    EXPECT_EQ(in.tellg(), 8);
}

TEST_F(longnameStreamTest, putbackCrossesTheReadAhead)
{
    // 2048 lines "x" CR LF: 4096 characters are 6144 bytes, more than one
    // read-ahead; stepping back over its start must still count CR LF as two.
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "x\r\n";
    ASSERT_TRUE(writeRawFile(L"C:/long.txt", bytes));
    longname_ifstream in(L"C:/long.txt");
    in.ignore(4096);
    EXPECT_EQ(in.tellg(), 6144);
    EXPECT_EQ(in.get(), 'x');
    EXPECT_EQ(in.tellg(), 6145);
    in.unget();
    in.unget();
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.tellg(), 6142);
    EXPECT_EQ(in.get(), '\n');
    EXPECT_EQ(in.get(), 'x');
    EXPECT_EQ(in.tellg(), 6145);
}

TEST_F(longnameStreamTest, readingAndWritingOneFile)
{
    ASSERT_TRUE(writeRawFile(L"C:/rw.bin", "abcdef"));
    longname_filebuf buffer;
    ASSERT_NE(buffer.open(L"C:/rw.bin", ios_base::in | ios_base::out | ios_base::binary), nullptr);
    EXPECT_EQ(buffer.sbumpc(), 'a');
    EXPECT_EQ(buffer.sputc('X'), 'X');  // at the reader's place, not after its read-ahead
    EXPECT_EQ(buffer.sbumpc(), 'c');
    EXPECT_EQ(buffer.pubseekoff(0, ios_base::end), 6);
    buffer.sputn("gh", 2);
    EXPECT_EQ(buffer.pubseekpos(1), 1);
    EXPECT_EQ(buffer.sbumpc(), 'X');
    EXPECT_NE(buffer.close(), nullptr);
    EXPECT_EQ(readRawFile(L"C:/rw.bin"), "aXcdefgh");
}

TEST_F(longnameStreamTest, pathsOutsideTheCodePageOpenTheRightFile)
{
    const std::wstring path = L"C:/\u0434\u0430\u043D\u043D\u044B\u0435 \u4E2D.txt";
    {
        longname_ofstream out(path);
        ASSERT_TRUE(out.is_open());
        out << "data";
    }
    EXPECT_TRUE(std::filesystem::exists(prefix_.driveC() + "/\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5 \xE4\xB8\xAD.txt"));
    EXPECT_EQ(readRawFile(path), "data");
    EXPECT_EQ(getFileSize(path), 4);
    EXPECT_EQ(getFileSize(L"C:/missing.txt"), 0);
    // A narrow path is a system text in the code page.
    longname_ifstream narrow(std::string("C:\\") + "\xB5.txt");
    EXPECT_FALSE(narrow.is_open());
    longname_ofstream micro(std::string("C:\\") + "\xB5.txt");
    EXPECT_TRUE(micro.is_open());
    EXPECT_TRUE(std::filesystem::exists(prefix_.driveC() + "/\xC2\xB5.txt"));
}

}  // namespace
