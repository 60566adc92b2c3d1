// Archive strings: the wide form we write, the wide and narrow forms we read,
// and lengths that promise more than the message holds.
#include "hexBytes.h"
#include "link/archiveException.h"
#include "link/archiveReader.h"
#include "link/archiveWriter.h"
#include "link/inputStream.h"

#include <gtest/gtest.h>

namespace {

struct wideCase_t {
    const char* label;
    std::wstring text;
    bytes_t golden;
};

std::vector<wideCase_t> wideCases() {
    const bytes_t a = hexBytes("61 00");
    const std::wstring face(1, static_cast<wchar_t>(0x1F600));
    std::wstring faces127, faces128;
    for (int i = 0; i < 127; ++i)
        faces127 += face;
    faces128 = faces127 + face;
    return {
        {"empty", L"", hexBytes("FF FE FF 00")},
        {"word", L"CMND", hexBytes("FF FE FF 04 43 00 4D 00 4E 00 44 00")},
        {"latin and euro", L"\u00E9\u20AC", hexBytes("FF FE FF 02 E9 00 AC 20")},
        {"254 one-byte length", std::wstring(254, L'a'), hexBytes("FF FE FF FE") + repeated(a, 254)},
        {"255 three-byte length", std::wstring(255, L'a'), hexBytes("FF FE FF FF FF 00") + repeated(a, 255)},
        {"0xFFFD three-byte length", std::wstring(0xFFFD, L'a'),
         hexBytes("FF FE FF FF FD FF") + repeated(a, 0xFFFD)},
        {"0xFFFE seven-byte length", std::wstring(0xFFFE, L'a'),
         hexBytes("FF FE FF FF FF FF FE FF 00 00") + repeated(a, 0xFFFE)},
        {"outside the basic plane", face, hexBytes("FF FE FF 02 3D D8 00 DE")},
        // The length counts UTF-16 code units, not characters.
        {"127 pairs fill 254 units", faces127,
         hexBytes("FF FE FF FE") + repeated(hexBytes("3D D8 00 DE"), 127)},
        {"128 pairs need 256 units", faces128,
         hexBytes("FF FE FF FF 00 01") + repeated(hexBytes("3D D8 00 DE"), 128)},
    };
}

TEST(archiveString, wideTextsAreWrittenAndReadAsTheGoldenBytes) {
    for (const wideCase_t& c : wideCases()) {
        SCOPED_TRACE(c.label);
        archiveWriter_t writer;
        writer.writeString(c.text);
        EXPECT_EQ(writer.bytes(), c.golden);

        archiveReader_t reader(c.golden.data(), c.golden.size());
        EXPECT_EQ(reader.readString(), c.text);
        EXPECT_EQ(reader.remaining(), 0u);
    }
}

TEST(archiveString, aCharacterBeyondUnicodeIsWrittenAsTheReplacement) {
    archiveWriter_t writer;
    writer.writeString(std::wstring{L'a', static_cast<wchar_t>(0x110000), L'b'});
    EXPECT_EQ(writer.bytes(), hexBytes("FF FE FF 03 61 00 FD FF 62 00"));
}

TEST(archiveString, narrowFormIsReadThroughTheCodePage) {
    const struct {
        const char* label;
        bytes_t bytes;
        std::wstring text;
    } cases[] = {
        {"empty", hexBytes("00"), L""},
        {"word", hexBytes("04 43 4D 4E 44"), L"CMND"},
        {"code page 1252", hexBytes("03 80 B5 E9"), L"\u20AC\u00B5\u00E9"},
        {"unassigned byte", hexBytes("01 81"), L"\u0081"},
        {"three-byte length", hexBytes("FF FF 00") + repeated(hexBytes("62"), 255), std::wstring(255, L'b')},
        {"seven-byte length", hexBytes("FF FF FF 2C 01 00 00") + repeated(hexBytes("63"), 300),
         std::wstring(300, L'c')},
        // A lone surrogate in the wide form passes through unchanged.
        {"wide lone surrogate", hexBytes("FF FE FF 01 00 D8"), std::wstring(1, static_cast<wchar_t>(0xD800))},
        {"wide high surrogate before a letter", hexBytes("FF FE FF 02 3D D8 41 00"),
         std::wstring{static_cast<wchar_t>(0xD83D), L'A'}},
        {"wide low surrogate before a high one", hexBytes("FF FE FF 02 00 DE 3D D8"),
         std::wstring{static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xD83D)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        archiveReader_t reader(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(reader.readString(), c.text);
        EXPECT_EQ(reader.remaining(), 0u);
    }
}

TEST(archiveString, narrowWriterUsesTheUnmarkedForm) {
    archiveWriter_t writer;
    writer.writeNarrowString("CMND");
    writer.writeNarrowString(std::string(255, 'x'));
    EXPECT_EQ(writer.bytes(), hexBytes("04 43 4D 4E 44 FF FF 00") + repeated(hexBytes("78"), 255));
}

// A length beyond the message fails before anything is allocated (a
// 0xFFFFFFF0-character text would take 16 GB): the cause is the end of the
// message, not memory.
TEST(archiveString, lengthBeyondTheMessageFailsTheStream) {
    const struct {
        const char* label;
        bytes_t bytes;
    } cases[] = {
        {"wide, 0xFFFFFFF0 characters", hexBytes("FF FE FF FF FF FF F0 FF FF FF 41 00")},
        {"wide, 0xFFFFFFFF characters", hexBytes("FF FE FF FF FF FF FF FF FF FF")},
        {"narrow, 0xFFFFFFF0 characters", hexBytes("FF FF FF F0 FF FF FF 41 41")},
        {"wide, 5 announced, 1 there", hexBytes("FF FE FF 05 41 00")},
        {"wide, odd byte", hexBytes("FF FE FF 01 41")},
        {"narrow, 3 announced, 2 there", hexBytes("03 41 42")},
        {"cut in the mark", hexBytes("FF FE")},
        {"cut in the length", hexBytes("FF FE FF FF FF")},
        {"nothing", bytes_t{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        inputStream_t in(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(in.readString(), L"");
        EXPECT_TRUE(in.failed());
        EXPECT_EQ(in.failureCause(), archiveCause_e::endOfFile_e);
        EXPECT_EQ(in.readString(), L"");
    }
}

} // namespace
