// Whole scripts run to the values, standard output and trace log that the
// language prescribes.
#include "procedures/script/batchProgram.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "procedures/script/userFuncDefnList.h"
#include "tests/script/scriptTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Every statement and expression form, user functions calling each other,
// memory cells, strings, comments and a line join. "show" is no built-in:
// the default function writes each call to standard output and returns its
// only argument (0 for several), which the trace log shows.
const char* const wholeLanguage =
    "/* Uses every statement and expression form of the language.\n"
    "   /* Block comments nest. */ */\n"
    "double { arg(0) * 2 }\n"
    "inc { memory(0, memory(0) + 1) }   // a local cell of each call site\n"
    "fact {\n"
    "    memory(1, 1) memory(2, arg(0))\n"
    "    while memory(2) > 1 { memory(1, memory(1) * memory(2)) memory(2, memory(2) - 1) }\n"
    "    memory(1)\n"
    "}\n"
    "outer { show(double(arg(0)) + 1) }\n"
    "brk { break }\n"
    "{\n"
    "    if 0 { loop show(2) show(7) }         // the count runs while parsing\n"
    "    show(1 + 2 * 3, 7 / 2, -7 / 2, -7 % 2, 10 - 2 - 3, 2 < 3 < 1)\n"
    "    show(!0, !5, ~0, -(3), +4, 2147483647 + 1, 4294967295)\n"
    "    show(1 == 1, 1 != 1, 3 <= 3, 3 >= 4, 1 && 0, 0 || 2, (1 + 2) * 3)\n"
    "    show(0 ? 1 : 0 ? 2 : 3, 5 ? 6 : 7)\n"
    "    show(show(1) || show(0))\n"
    "    memory(-1, 41)\n"
    "    show(memory(-1) + 1, memory(0), memory(-10))   // cell 0 twice\n"
    "    loop 3 inc()\n"
    "    show(fact(5) double(21),)\n"
    "    outer(4)\n"
    "    tracemsg(\"a \\\"quoted\\\" line\\n\")\n"
    "    loop 10 { memory(3, memory(3) + 1) if memory(3) == 2 brk() }\n"
    "    show(memory(3))\n"
    "    while 1 { show(5) break }\n"
    "    if memory(-1) == 41 { show(1) } else { show(2) }\n"
    "    if (0) show(3) else show(4)\n"
    "    show(1, \\\n"
    "2);\n"
    "}\n"
    "show(99)\n";

}  // namespace

TEST_F(scriptTest, WholeLanguageRunsToItsTraceAndOutput)
{
    scriptRun_t result = run(wholeLanguage);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.trace, onDisk("show (2 )  returns : 2\n"
                                   "show (7 , 3 , -3 , -1 , 5 , 0 )  returns : 0\n"
                                   "show (1 , 0 , -1 , -3 , 4 , -2147483648 , -1 )  returns : 0\n"
                                   "show (1 , 0 , 1 , 0 , 0 , 1 , 9 )  returns : 0\n"
                                   "show (3 , 6 )  returns : 0\n"
                                   "show (1 )  returns : 1\n"
                                   "show (0 )  returns : 0\n"
                                   "show (1 )  returns : 1\n"
                                   "show (42 , 41 , 0 )  returns : 0\n"
                                   "inc ( )  returns : -2147483647\n"
                                   "inc ( )  returns : -2147483646\n"
                                   "inc ( )  returns : -2147483645\n"
                                   "fact (5 )  returns : 120\n"
                                   "double (21 )  returns : 42\n"
                                   "show (120 , 42 )  returns : 0\n"
                                   "double (4 )  returns : 8\n"
                                   "show (9 )  returns : 9\n"
                                   "outer (4 )  returns : 9\n"
                                   "a \"quoted\" line\n"
                                   "show (2 )  returns : 2\n"
                                   "show (5 )  returns : 5\n"
                                   "show (1 )  returns : 1\n"
                                   "show (4 )  returns : 4\n"
                                   "show (1 , 2 )  returns : 0\n"));
    EXPECT_EQ(result.out, "show (2 )\n"
                          "show (7 , 3 , -3 , -1 , 5 , 0 )\n"
                          "show (1 , 0 , -1 , -3 , 4 , -2147483648 , -1 )\n"
                          "show (1 , 0 , 1 , 0 , 0 , 1 , 9 )\n"
                          "show (3 , 6 )\n"
                          "show (1 )\n"
                          "show (0 )\n"
                          "show (1 )\n"
                          "show (42 , 41 , 0 )\n"
                          "show (120 , 42 )\n"
                          "show (9 )\n"
                          "tracemsg (\"a \"quoted\" line\n\" )\n"
                          "show (2 )\n"
                          "show (5 )\n"
                          "show (1 )\n"
                          "show (4 )\n"
                          "show (1 , 2 )\n");
    // The global cells outlive the run; the user function's locals did not
    // touch them.
    EXPECT_EQ(batchRunState_t::globalCells[0], 41);
    EXPECT_EQ(batchRunState_t::globalCells[3], 2);
    EXPECT_EQ(batchRunState_t::globalCells[1], 0);
}

TEST_F(scriptTest, GlobalCellsCarryOverToTheNextRun)
{
    ASSERT_TRUE(run("{ memory(5, 7) }").ok);
    scriptRun_t second = run("{ show(memory(-6)) show(memory(5)) }");
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.trace, onDisk("show (7 )  returns : 7\nshow (7 )  returns : 7\n"));
}

// Scripts whose only effect is a trace that shows what the rule does.
struct languageCase_t {
    const char* name;
    const char* script;
    const char* trace;  // as written, before the text-mode translation
};

class scriptLanguageRules : public scriptTest, public ::testing::WithParamInterface<languageCase_t> {};

TEST_P(scriptLanguageRules, TraceShowsTheRule)
{
    scriptRun_t result = run(GetParam().script);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.trace, onDisk(GetParam().trace));
}

INSTANTIATE_TEST_SUITE_P(
    scriptTest, scriptLanguageRules,
    ::testing::Values(
        languageCase_t{"onlyTheFirstMainStatementRuns", "show(1); show(2);", "show (1 )  returns : 1\n"},
        languageCase_t{"twoBlocksRunOnlyTheFirst", "{ show(1) } { show(2) }", "show (1 )  returns : 1\n"},
        languageCase_t{"noShortCutForOr", "show(show(1) || show(2))",
                       "show (1 )  returns : 1\nshow (2 )  returns : 2\nshow (1 )  returns : 1\n"},
        languageCase_t{"conditionalEvaluatesOnePart", "memory(0) ? show(1) : show(2)", "show (2 )  returns : 2\n"},
        languageCase_t{"earliestDefinitionWins", "f { show(1) } f { show(2) } { f() }",
                       "show (1 )  returns : 1\nf ( )  returns : 1\n"},
        // g is read before f exists: its f() is the default function.
        languageCase_t{"bodySeesOnlyEarlierFunctions", "g { f(5) } f { show(1) } { g() f() }",
                       "f (5 )  returns : 5\ng ( )  returns : 5\nshow (1 )  returns : 1\nf ( )  returns : 1\n"},
        // A function cannot call itself: the inner f is the default function.
        languageCase_t{"noRecursion", "f { f(1) } { f() }", "f (1 )  returns : 1\nf ( )  returns : 1\n"},
        languageCase_t{"callSitesHaveTheirOwnLocals", "inc { memory(0, memory(0) + 1) } { inc() inc() loop 2 inc() }",
                       "inc ( )  returns : -2147483647\ninc ( )  returns : -2147483647\n"
                       "inc ( )  returns : -2147483647\ninc ( )  returns : -2147483646\n"},
        languageCase_t{"breakInAFunctionEndsTheCallersLoop",
                       "stop { break } { while 1 { memory(0, memory(0) + 1) if memory(0) == 3 stop() } show(memory(0)) }",
                       "show (3 )  returns : 3\n"},
        languageCase_t{"cellsReturnToTheCallerAfterABreak",
                       "stop { memory(0, 50) break } { memory(0, 9) while 1 stop() show(memory(0)) }",
                       "show (9 )  returns : 9\n"},
        // The loop count is read while parsing, outside every function (so
        // it is 0 here), and f returns the last value, set by memory(0, 5).
        languageCase_t{"loopCountReadsGlobalCells", "f { loop memory(0) show(1) } { memory(0, 5) f() }",
                       "f ( )  returns : 5\n"},
        languageCase_t{"negativeLoopCountRunsNothing", "{ loop -3 show(1) show(2) }", "show (2 )  returns : 2\n"},
        languageCase_t{"breakOutsideLoopsEndsTheRunQuietly", "{ show(1) break show(2) }", "show (1 )  returns : 1\n"},
        // A loop count that breaks ends the run before anything executes.
        languageCase_t{"breakWhileParsingEndsTheRunQuietly", "brk { break } { show(1) loop brk() show(2) }", ""},
        languageCase_t{"statementCutOffByTheEndIsEmpty", "{ show(1) loop 2 { if 1", "show (1 )  returns : 1\n"},
        languageCase_t{"argAndCellsOutsideTheirRangeReadZero",
                       "f { show(arg(0), arg(3), arg(4294967295)) } { memory(10, 5) memory(-11, 5) "
                       "show(arg(0), memory(10), memory(-11)) f(8) }",
                       "show (0 , 0 , 0 )  returns : 0\nshow (8 , 0 , 0 )  returns : 0\nf (8 )  returns : 0\n"},
        languageCase_t{"divisionWrapsAtTheEdge", "show(-2147483647 - 1 / -1, (-2147483647 - 1) / -1, (-2147483647 - 1) % -1)",
                       "show (-2147483646 , -2147483648 , 0 )  returns : 0\n"},
        languageCase_t{"builtinByClassName", "show(sqrt(-17), sqrt_t(0), class(1))",
                       "sqrt (-17 )  returns : 4\nsqrt (0 )  returns : 0\nclass (1 )  returns : 1\n"
                       "show (4 , 0 , 1 )  returns : 0\n"},
        languageCase_t{"unterminatedCommentEndsTheScript", "{ show(1) } /* never closed", "show (1 )  returns : 1\n"},
        languageCase_t{"onlyDefinitionsRunNothing", "f { show(1) }", ""},
        languageCase_t{"tracemsgOfANumberTracesItsValue", "{ tracemsg(12) tracemsg() tracemsg(\"\\n\") }", "12\n"}),
    [](const ::testing::TestParamInfo<languageCase_t>& info) { return std::string(info.param.name); });

TEST_F(scriptTest, DefaultFunctionReturnsTheRunTimeRandomNumberWithoutArguments)
{
    // The run-time library's generator is per thread and never seeded: a
    // new thread's first value is 41.
    scriptRun_t result;
    std::thread worker([&] { result = run("{ unknown() rand() }"); });
    worker.join();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.trace, onDisk("unknown ( )  returns : 41\nrand ( )  returns : 18467\n"));
    EXPECT_EQ(result.out, "unknown ( )\n");
}

TEST_F(scriptTest, TreePrintsBackAsText)
{
    ASSERT_TRUE(writeRawFile(scriptPath, "{ loop 2 f(1, 2 + 3 * -4) while memory(0) < 3 memory(0, memory(0) + 1)\n"
                                         "  if arg(0) x() else y(\"s\") break ; }"));
    icstream_t in(scriptPath);
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    userFuncDefnList_t definitions;
    batchStmtPtr_t program = parseProgram(tokens, definitions);
    ASSERT_NE(program, nullptr);
    std::ostringstream printed;
    program->print(printed);
    EXPECT_EQ(printed.str(), "\n{\n"
                             "\nloop 2 // (=2) \n"
                             "\nf (1 , 2+3*-4 )"
                             "\nwhile  memory(0)<3\n"
                             "\n memory(0 ,  memory(0)+1)"
                             "\nif  arg(0)\n"
                             "\nx ( )"
                             "\nelse  arg(0)\n"
                             "\ny (s )"
                             "\nbreak"
                             ";"
                             "\n}\n");
}
