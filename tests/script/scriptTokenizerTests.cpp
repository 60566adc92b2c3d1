// Tokens: types, kind bits and texts as the grammar selects them.
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct tokenView_t {
    int type;
    int kind;
    std::string printed;
    bool operator==(const tokenView_t&) const = default;
};

std::ostream& operator<<(std::ostream& out, const tokenView_t& token)
{
    return out << "{" << token.type << ", 0x" << std::hex << token.kind << std::dec << ", \"" << token.printed << "\"}";
}

struct tokenCase_t {
    const char* name;
    std::string source;
    std::vector<tokenView_t> tokens;  // up to and including the first end-of-input token
};

using T = batchToken_t;
const tokenView_t endToken{0, 0, "@ BAD TOKEN @"};

}  // namespace

class scriptTokenizer : public prefixTest, public ::testing::WithParamInterface<tokenCase_t> {};

TEST_P(scriptTokenizer, ReadsTheTokens)
{
    ASSERT_TRUE(writeRawFile(L"C:/t.txt", GetParam().source));
    icstream_t in(L"C:/t.txt");
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    std::vector<tokenView_t> seen;
    for (;;) {
        batchToken_t token = tokens.next();
        seen.push_back({token.type(), token.kind(), token.printed()});
        if (token.isEnd() || seen.size() > 50)
            break;
    }
    // Past the end, every read is the end again.
    EXPECT_TRUE(tokens.next().isEnd());
    EXPECT_EQ(seen, GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    scriptTokenizerCases, scriptTokenizer,
    ::testing::Values(
        tokenCase_t{"twoCharacterOperator", "a<=b", {{T::unknown_e, 0x1, "a"}, {T::lessEqu_e, 0x10a8, "<="}, {T::unknown_e, 0x1, "b"}, endToken}},
        tokenCase_t{"blankSplitsAnOperator", "a< =b", {{T::unknown_e, 0x1, "a"}, {T::less_e, 0x1098, "<"}, {T::unknown_e, 0x18, "="}, {T::unknown_e, 0x1, "b"}, endToken}},
        tokenCase_t{"numberThenIdentifier", "12abc", {{T::uintNumber_e, 0x4, "12"}, {T::unknown_e, 0x1, "abc"}, endToken}},
        tokenCase_t{"keywordsAreExact", "Loop LOOP loop_ loop if else while break",
                    {{0, 0x1, "Loop"}, {0, 0x1, "LOOP"}, {0, 0x1, "loop_"}, {T::loop_e, 0x3, "loop"}, {T::if_e, 0x3, "if"},
                     {T::else_e, 0x3, "else"}, {T::while_e, 0x3, "while"}, {T::break_e, 0x3, "break"}, endToken}},
        tokenCase_t{"largestNumber", "4294967295 0", {{T::uintNumber_e, 0x4, "4294967295"}, {T::uintNumber_e, 0x4, "0"}, endToken}},
        tokenCase_t{"numberTooLargeIsNoEnd", "1 4294967296 2",
                    {{T::uintNumber_e, 0x4, "1"}, {0, 0, "4294967296"}, {T::uintNumber_e, 0x4, "2"}, endToken}},
        tokenCase_t{"stringEscapes", "\"a\\nb\\\"c\\\\d\\q\"x",
                    {{T::string_e, 0x18, "a\nb\"c\\dq"}, {0, 0x1, "x"}, endToken}},
        tokenCase_t{"unterminatedString", "\"abc", {{T::string_e, 0x18, "abc"}, endToken}},
        tokenCase_t{"everyOperator", "! ~ + - < <= > >= == != * / % && || ? : ; , { } ( )",
                    {{T::not_e, 0x58, "!"}, {T::tilda_e, 0x58, "~"}, {T::plus_e, 0x8d8, "+"}, {T::minus_e, 0x8d8, "-"},
                     {T::less_e, 0x1098, "<"}, {T::lessEqu_e, 0x10a8, "<="}, {T::greater_e, 0x1098, ">"},
                     {T::greaterEqu_e, 0x10a8, ">="}, {T::equal_e, 0x20a8, "=="}, {T::notEqual_e, 0x20a8, "!="},
                     {T::mult_e, 0x498, "*"}, {T::div_e, 0x498, "/"}, {T::mod_e, 0x498, "%"}, {T::and_e, 0x40a8, "&&"},
                     {T::or_e, 0x80a8, "||"}, {T::questionMark_e, 0x118, "?"}, {T::colon_e, 0x118, ":"},
                     {T::semicolon_e, 0x18, ";"}, {T::comma_e, 0x218, ","}, {T::leftBrace_e, 0x18, "{"},
                     {T::rightBrace_e, 0x18, "}"}, {T::leftParen_e, 0x18, "("}, {T::rightParen_e, 0x18, ")"}, endToken}},
        tokenCase_t{"unknownCharacters", "& | = _ \x80 @",
                    {{0, 0x18, "&"}, {0, 0x18, "|"}, {0, 0x18, "="}, {0, 0x18, "_"}, {0, 0x18, "\x80"}, {0, 0x18, "@"}, endToken}},
        tokenCase_t{"operatorsPairLeftToRight", ">=== &&&", {{T::greaterEqu_e, 0x10a8, ">="}, {T::equal_e, 0x20a8, "=="}, {T::and_e, 0x40a8, "&&"}, {0, 0x18, "&"}, endToken}},
        tokenCase_t{"commentBetweenTokens", "a/*x*/b//c\nd", {{0, 0x1, "a"}, {0, 0x1, "b"}, {0, 0x1, "d"}, endToken}},
        // A zero byte is a character of its own (it neither ends a name nor
        // the script), also where a name runs past the reader's block.
        tokenCase_t{"zeroBytes", std::string("ab\0cd \0 12\0", 11),
                    {{0, 0x1, "ab"}, {0, 0x18, ""}, {0, 0x1, "cd"}, {0, 0x18, ""}, {T::uintNumber_e, 0x4, "12"},
                     {0, 0x18, ""}, endToken}},
        tokenCase_t{"longNameThenZeroByte", std::string(300, 'a') + std::string("\0b", 2),
                    {{0, 0x1, std::string(300, 'a')}, {0, 0x18, ""}, {0, 0x1, "b"}, endToken}}),
    [](const ::testing::TestParamInfo<tokenCase_t>& info) { return std::string(info.param.name); });
