// The script stream: comments become blanks, line joins keep the line count,
// binary files pass unchanged, positions are byte offsets in the file, and a
// script in memory reads as its file does.
#include "procedures/script/batchErrorReport.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const wchar_t* sourcePath = L"C:/scripts/source.txt";

std::string delivered(icstream_t& in)
{
    std::string text;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get())
        text.push_back(static_cast<char>(c));
    return text;
}

struct readerCase_t {
    const char* name;
    std::string file;
    std::string delivered;
};

}  // namespace

class scriptReader : public prefixTest, public ::testing::WithParamInterface<readerCase_t> {};

TEST_P(scriptReader, DeliversTheCleanedText)
{
    ASSERT_TRUE(writeRawFile(sourcePath, GetParam().file));
    icstream_t in(sourcePath);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(delivered(in), GetParam().delivered);
}

INSTANTIATE_TEST_SUITE_P(
    scriptReaderCases, scriptReader,
    ::testing::Values(
        readerCase_t{"blockCommentsNest", "a /* x /* y */ z */ b", "a                   b"},
        readerCase_t{"slashStarSlashIsAComment", "/*/x", "   x"},
        readerCase_t{"lineCommentInsideBlock", "a /* // */ b\nc", "a          b\nc"},
        readerCase_t{"blockOpenerInsideLineComment", "a // /* x\nb */", "a        \nb */"},
        readerCase_t{"closerOutsideACommentStays", "a */ b *//x", "a */ b *//x"},
        readerCase_t{"lineJoinReEmitsItsLineFeed", "ab \\\ncd\nef", "ab cd\n\nef"},
        readerCase_t{"twoJoinsBeforeALineEnd", "a\\\nb\\\nc\nd", "abc\n\n\nd"},
        readerCase_t{"joinInBlockCommentGivesBlanks", "/* \\\n */x", "        x"},
        readerCase_t{"joinContinuesALineComment", "// a\\\nb\nc", "       \nc"},
        readerCase_t{"crLineEnds", "a\rb\r\nc\r\r\nd", "a\nb\nc\nd"},
        readerCase_t{"controlZEndsText", "ab\x1A" "cd", "ab"},
        readerCase_t{"controlCharacterMakesItRaw", "\x01" "a // b\r\n/*", "\x01" "a // b\r\n/*"},
        readerCase_t{"byteOrderMarkMakesItRaw", "\xEF\xBB\xBFx //c\\\n", "\xEF\xBB\xBFx //c\\\n"},
        readerCase_t{"oneCharacterIsRaw", "/", "/"},
        readerCase_t{"unterminatedBlockComment", "a /* b\nc", "a     \n "}),
    [](const ::testing::TestParamInfo<readerCase_t>& info) { return std::string(info.param.name); });

TEST_F(scriptTest, ScriptStreamFailsOnMissingOrEmptyFiles)
{
    icstream_t missing(L"C:/scripts/none.txt");
    EXPECT_FALSE(missing.good());
    ASSERT_TRUE(writeRawFile(sourcePath, ""));
    icstream_t empty(sourcePath);
    EXPECT_FALSE(empty.good());
    // Only a swallowed line join: nothing to deliver.
    ASSERT_TRUE(writeRawFile(sourcePath, "\\\n"));
    icstream_t joined(sourcePath);
    EXPECT_FALSE(joined.good());
}

TEST_F(scriptTest, ScriptStreamPositionsAreByteOffsets)
{
    ASSERT_TRUE(writeRawFile(sourcePath, "ab\r\n  /*c*/d\r\n\tef"));
    icstream_t in(sourcePath);
    std::vector<std::pair<char, int>> seen;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get())
        seen.emplace_back(static_cast<char>(c), static_cast<int>(in.tellg()));
    // Each position is the offset after the character: a CR LF counts two.
    std::vector<std::pair<char, int>> expected = {{'a', 1},  {'b', 2},  {'\n', 4}, {' ', 5},  {' ', 6},
                                                  {' ', 7},  {' ', 8},  {' ', 9},  {' ', 10}, {' ', 11},
                                                  {'d', 12}, {'\n', 14}, {'\t', 15}, {'e', 16}, {'f', 17}};
    EXPECT_EQ(seen, expected);

    // Seeking restarts the comment handling at the new place.
    in.clear();
    in.seekg(9);
    EXPECT_EQ(in.tellg(), 9);
    EXPECT_EQ(delivered(in), "*/d\n\tef");
}

TEST_F(scriptTest, TokenPlacesCountLinesFromZero)
{
    ASSERT_TRUE(writeRawFile(sourcePath, "ab\r\n  cd\r\n\tef \\\ngh\nij"));
    icstream_t in(sourcePath);
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    struct place_t {
        std::string text;
        int line, lineStart, position;
        bool operator==(const place_t&) const = default;
    };
    std::vector<place_t> places;
    for (auto token = tokens.next(); !token.isEnd(); token = tokens.next())
        places.push_back({token.text(), token.line(), token.lineStart(), token.position()});
    // The joined line's line feed comes back after gh's, so ij is on line 4.
    std::vector<place_t> expected = {{"ab", 0, 0, 0},  {"cd", 1, 4, 6},   {"ef", 2, 10, 11},
                                     {"gh", 2, 10, 16}, {"ij", 4, 19, 19}};
    EXPECT_EQ(places, expected);
}

namespace {

struct placedToken_t {
    int type, kind;
    std::string printed;
    int line, lineStart, position;
    bool operator==(const placedToken_t&) const = default;
};

std::ostream& operator<<(std::ostream& out, const placedToken_t& token)
{
    return out << "{" << token.printed << " @" << token.line << "," << token.lineStart << "," << token.position << "}";
}

std::vector<placedToken_t> tokensOf(icstream_t& in)
{
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    std::vector<placedToken_t> seen;
    for (;;) {
        const batchToken_t& token = tokens.next();
        seen.push_back({token.type(), token.kind(), token.printed(), token.line(), token.lineStart(), token.position()});
        if (token.isEnd())
            return seen;
    }
}

// A script long enough to be delivered in several blocks, with a token
// that straddles each block boundary somewhere.
std::string longScript()
{
    std::string text = "{\r\n";
    for (int i = 0; i < 300; ++i)
        text += "  show(" + std::to_string(i) + ") /* " + std::string(static_cast<std::size_t>(i % 7), '*') +
                " */ memory(1, \"t\\\"x\") \\\r\n  + 2\r\n";
    return text + "}";
}

struct sourceCase_t {
    const char* name;
    std::string file;
};

}  // namespace

class scriptSourceInMemory : public prefixTest, public ::testing::WithParamInterface<sourceCase_t> {};

// The runner reads files, the fuzz targets read memory: both must see the
// same tokens at the same places and report an error at any of them alike.
TEST_P(scriptSourceInMemory, GivesTheFileTokensAndReports)
{
    const std::string& bytes = GetParam().file;
    ASSERT_TRUE(writeRawFile(sourcePath, bytes));
    icstream_t fromFile(sourcePath);
    icstream_t fromMemory(sourcePath, bytes);
    EXPECT_EQ(fromFile.good(), fromMemory.good());
    auto fileTokens = tokensOf(fromFile);
    auto memoryTokens = tokensOf(fromMemory);
    EXPECT_EQ(memoryTokens, fileTokens);
    for (const auto& token : fileTokens) {
        batchErrorPlace_t place{token.line, token.lineStart, token.position};
        ASSERT_EQ(buildErrorReport(std::string_view(bytes), "x expected", place),
                  buildErrorReport(std::wstring(sourcePath), "x expected", place))
            << token;
    }
}

INSTANTIATE_TEST_SUITE_P(
    scriptSourceCases, scriptSourceInMemory,
    ::testing::Values(sourceCase_t{"commentsJoinsAndLineEnds", "a /* x /* y */ z */ b\r\nc \\\r\nd\re // f\n\"s\\n\"g"},
                      sourceCase_t{"controlZEndsText", "ab\r\ncd\x1A" "ef\r\ngh"},
                      sourceCase_t{"rawWithByteOrderMark", "\xEF\xBB\xBF{ show(1) }\r\n// x\r\n)"},
                      sourceCase_t{"zeroBytesAndLongLine", std::string("{ a\0b ", 6) + std::string(3000, 'x') + "\n)"},
                      sourceCase_t{"empty", ""},
                      sourceCase_t{"severalBlocks", longScript()}),
    [](const ::testing::TestParamInfo<sourceCase_t>& info) { return std::string(info.param.name); });

TEST_F(scriptTest, PlacesHoldAcrossBlocks)
{
    // Each line is "ab" and CR LF: a block boundary falls inside a name or
    // just before a line end somewhere in it.
    std::string bytes;
    for (int i = 0; i < 700; ++i)
        bytes += "ab\r\n";
    icstream_t in(sourcePath, bytes);
    auto tokens = tokensOf(in);
    ASSERT_EQ(tokens.size(), 701u);
    for (int i = 0; i < 700; ++i)
        ASSERT_EQ(tokens[static_cast<std::size_t>(i)], (placedToken_t{0, 0x1, "ab", i, 4 * i, 4 * i}));
    EXPECT_EQ(tokens.back().line, 700);
    EXPECT_EQ(tokens.back().lineStart, 2800);
}

TEST_F(scriptTest, PutBackAfterAPeekHoldsAcrossBlocks)
{
    std::string bytes;
    for (int i = 0; i < 2000; ++i)
        bytes.push_back(static_cast<char>('a' + i % 26));
    icstream_t in(sourcePath, bytes);
    for (int i = 0; i < 2000; ++i) {
        int c = in.get();
        in.peek();
        in.putback(static_cast<char>(c));
        ASSERT_EQ(in.tellg(), i);
        ASSERT_EQ(in.get(), c);
        ASSERT_EQ(in.tellg(), i + 1);
    }
}
