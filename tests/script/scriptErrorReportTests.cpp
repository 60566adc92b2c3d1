// A parse error's report: the source lines up to the offending token, the
// caret line under it and the message; the report also ends the trace log.
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct reportCase_t {
    const char* name;
    std::string script;
    std::string report;
};

}  // namespace

class scriptErrorReports : public scriptTest, public ::testing::WithParamInterface<reportCase_t> {};

TEST_P(scriptErrorReports, ReportNamesThePlace)
{
    scriptRun_t result = run(GetParam().script);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, GetParam().report);
    // Nothing ran: the trace log holds the report alone.
    EXPECT_EQ(result.trace, onDisk("\n" + GetParam().report + "\n"));
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    scriptTest, scriptErrorReports,
    ::testing::Values(
        // White space before the token is copied, so that tabs line up.
        reportCase_t{"tabAndBlanksBeforeTheToken", "{\n\tshow(1)\n\t    )\n}\n",
                     "   1  {\n"
                     "   2  \tshow(1)\n"
                     "   3  \t    )\n"
                     "      \t    ^_____ int-number or (expression) or function expected\n"},
        reportCase_t{"colonExpected", "{ memory(0) ? 1 }\n",
                     "   1  { memory(0) ? 1 }\n"
                     "                      ^_____ : expected\n"},
        reportCase_t{"nestedConditionalNeedsParentheses", "{ 1 ? 2 ? 3 : 4 : 5 }",
                     "   1  { 1 ? 2 ? 3 : 4 : 5 }\n"
                     "              ^_____ : expected\n"},
        // The end of the input has no place: the caret follows the last line.
        reportCase_t{"parenthesisExpectedAtTheEnd", "show((1 + 2",
                     "   1  show((1 + 2\n"
                     "                 ^_____ ) expected\n"},
        reportCase_t{"bareNameIsACall", "{\r\n  x;\r\n}\r\n",
                     "   1  {\n"
                     "   2    x;\n"
                     "         ^_____ ( expected\n"},
        reportCase_t{"elseAfterSemicolonIsACall", "{ if (memory(0)) f(1); else g(2); }",
                     "   1  { if (memory(0)) f(1); else g(2); }\n"
                     "                                  ^_____ ( expected\n"},
        reportCase_t{"argTakesANumberOnly", "{ arg(1 + 1) }",
                     "   1  { arg(1 + 1) }\n"
                     "              ^_____ ) expected\n"},
        reportCase_t{"argNumberExpected", "{ arg(x) }",
                     "   1  { arg(x) }\n"
                     "            ^_____ number expected\n"},
        // Nothing runs, not even the statement before the number.
        reportCase_t{"numberTooLargeAsAStatement", "{ show(1) 99999999999 show(2) }",
                     "   1  { show(1) 99999999999 show(2) }\n"
                     "                ^_____ number above 4294967295\n"},
        reportCase_t{"closingParenthesisFirst", ")",
                     "   1  )\n"
                     "      ^_____ int-number or (expression) or function expected\n"},
        // A line comment does not move the caret: comments are blanks.
        reportCase_t{"afterAComment", "{ show(1) // note\n? 2 }",
                     "   1  { show(1) // note\n"
                     "   2  ? 2 }\n"
                     "          ^_____ : expected\n"}),
    [](const ::testing::TestParamInfo<reportCase_t>& info) { return std::string(info.param.name); });

TEST_F(scriptTest, ReportShowsTheLastTwentyLines)
{
    std::string script = "{\n";
    for (int line = 2; line < 30; ++line)
        script += "  show(" + std::to_string(line) + ")\n";
    script += "  show(30 30 ?)\n}\n";
    scriptRun_t result = run(script);
    ASSERT_FALSE(result.ok);
    std::string expected;
    for (int line = 11; line < 30; ++line)
        expected += "  " + std::to_string(line) + "    show(" + std::to_string(line) + ")\n";
    expected += "  30    show(30 30 ?)\n"
                "                    ^_____ int-number or (expression) or function expected\n";
    EXPECT_EQ(result.error, expected);
}

TEST_F(scriptTest, ExecutionErrorReportIsItsText)
{
    scriptRun_t result = run("{ show(1) show(1 / memory(0)) show(2) }");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "division by zero\n");
    EXPECT_EQ(result.trace, onDisk("show (1 )  returns : 1\n\ndivision by zero\n\n"));
}

TEST_F(scriptTest, MissingScriptCannotBeOpened)
{
    scriptRun_t result = runFile(L"C:/scripts/missing.txt");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error, "can't open C:/scripts/missing.txt");
    EXPECT_EQ(result.trace, "");
}

TEST_F(scriptTest, EmptyScriptCannotBeOpened)
{
    scriptRun_t result = run("");
    EXPECT_EQ(result.error, "can't open C:/scripts/test.txt");
}

TEST_F(scriptTest, NewRunStartsAFreshTraceLog)
{
    ASSERT_FALSE(run("{ show(1) ) }").ok);
    scriptRun_t second = run("{ show(2) }");
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.trace, onDisk("show (2 )  returns : 2\n"));
}
