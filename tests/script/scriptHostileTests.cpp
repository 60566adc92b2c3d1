// Scripts written to break the program: each ends in an orderly way, with
// a result or a report, never a crash or a hang.
#include "procedures/script/batchStringTable.h"
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string repeat(const std::string& text, int count)
{
    std::string result;
    result.reserve(text.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

// The last line of a report: the caret line with its message.
std::string caretLine(const std::string& report)
{
    std::size_t end = report.size() > 0 ? report.size() - 1 : 0;
    std::size_t start = report.rfind('\n', end > 0 ? end - 1 : 0);
    return report.substr(start == std::string::npos ? 0 : start + 1);
}

}  // namespace

TEST_F(scriptTest, DeepParenthesesGiveAParseError)
{
    // The statement, its expression and 498 parenthesised expressions are
    // the 500 levels allowed: the report points at the parenthesis after
    // the 499th.
    scriptRun_t result = run(repeat("(", 10000) + "1" + repeat(")", 10000));
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(caretLine(result.error), std::string(6 + 499, ' ') + "^_____ nesting too deep\n");
    // A line that long is shown cut, so the report stays small.
    EXPECT_LT(result.error.size(), 3000u);
}

TEST_F(scriptTest, HostileNestingEndsWithNestingTooDeep)
{
    const std::string cases[] = {
        repeat("{", 100000),
        repeat("if 1 ", 100000) + "f(1)",
        repeat("loop 1 ", 100000) + "f(1)",
        repeat("while 0 ", 100000) + "f(1)",
        repeat("-(", 50000) + "1",
        repeat("1 ? 2 : ", 50000) + "3",
        repeat("f(", 50000),
        repeat("memory(", 50000),
    };
    for (const auto& script : cases) {
        scriptRun_t result = run(script);
        ASSERT_FALSE(result.ok) << script.substr(0, 20);
        EXPECT_NE(result.error.find("^_____ nesting too deep\n"), std::string::npos) << script.substr(0, 20);
    }
}

TEST_F(scriptTest, LongChainOfFunctionsEndsWithAnError)
{
    // Each function calls the one defined before it, so the calls nest as
    // deep as the script is long.
    std::string script = "f0 { g(1) }\n";
    const int count = 200000;
    for (int i = 1; i <= count; ++i)
        script += "f" + std::to_string(i) + " { f" + std::to_string(i - 1) + "() }\n";
    script += "{ f" + std::to_string(count) + "() }\n";
    scriptRun_t result = run(script);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "nesting too deep\n");
}

TEST_F(scriptTest, EnormousLiteralsAreHandled)
{
    std::string text(4 << 20, 'x');
    scriptRun_t result = run("{ resultLog(\"" + text + "\") show(1) tracemsg(\"" + text + "\") }");
    ASSERT_TRUE(result.ok) << result.error.substr(0, 200);
    // The name is far too long for a path: that log's value is lost.
    EXPECT_NE(result.trace.find(onDisk("  returns : 0\nshow (1 )  returns : 1\n") + text), std::string::npos);
    EXPECT_EQ(result.trace.substr(result.trace.size() - text.size()), text);
    // A number beyond 32 bits, however long, is an error at its place.
    scriptRun_t number = run("{ show(99999999999999999999) }");
    ASSERT_FALSE(number.ok);
    EXPECT_EQ(number.error, "   1  { show(99999999999999999999) }\n"
                            "             ^_____ number above 4294967295\n");
    // An identifier of a million letters is a call like any other.
    std::string name(1 << 20, 'q');
    scriptRun_t identifier = run("{ " + name + "(3) }");
    ASSERT_TRUE(identifier.ok);
    EXPECT_EQ(identifier.out, name + " (3 )\n");
    // Every literal's handle was withdrawn with its tree.
    EXPECT_EQ(batchStringTable_t::size(), 0u);
}

TEST_F(scriptTest, DivisionByZeroIsAnError)
{
    for (const char* script : {"{ show(1 / 0) }", "{ show(5 % (2 - 2)) }", "loop 1 / 0 show(1)"}) {
        scriptRun_t result = run(script);
        ASSERT_FALSE(result.ok) << script;
        EXPECT_NE(result.error.find("division by zero\n"), std::string::npos) << script;
    }
}

TEST_F(scriptTest, UnterminatedStringEndsAtTheEndOfInput)
{
    scriptRun_t result = run("{ tracemsg(\"abc");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "   1  { tracemsg(\"abc\n"
                            "                     ^_____ int-number or (expression) or function expected\n");
}

TEST_F(scriptTest, BinaryFileIsReadRawAndReported)
{
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.push_back(static_cast<char>((i * 7) & 0xFF));
    scriptRun_t result = run(bytes);
    ASSERT_FALSE(result.ok);
    // The first byte (0) is no token the grammar knows.
    EXPECT_EQ(result.error.substr(0, 6), "   1  ");
    EXPECT_EQ(caretLine(result.error), "      ^_____ int-number or (expression) or function expected\n");
}

TEST_F(scriptTest, ByteOrderMarkMakesTheFileRaw)
{
    // Read raw, the mark's first byte is the first token.
    scriptRun_t result = run("\xEF\xBB\xBF{ show(1) // x\n}");
    ASSERT_FALSE(result.ok);
    EXPECT_NE(result.error.find("^_____ int-number or (expression) or function expected\n"), std::string::npos);
}
