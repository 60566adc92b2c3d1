// Trace notes put together in place: the same text whether it stays in the
// note's own buffer or outgrows it, numbers in plain decimal, wide text
// narrowed as the code page does.
#include "machine/textUtils.h"
#include "standins/wendaro/simTraceNote.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace {

struct noteCase_t {
    const char* name;
    std::function<void(simTraceNote_t&)> build;
    std::string expected;
    bool spilled;
};

const std::size_t full = simTraceNote_t::inlineCapacity;

TEST(simTraceNoteTest, textAcrossTheInlineBuffer)
{
    const noteCase_t cases[] = {
        {"empty", [](simTraceNote_t&) {}, "", false},
        {"words and codes",
         [](simTraceNote_t& n) { n << "command " << std::uint8_t{128} << ": refused in state " << std::uint8_t{1}; },
         "command 128: refused in state 1", false},
        {"signed and wide numbers",
         [](simTraceNote_t& n) {
             n << std::int8_t{-7} << " " << std::numeric_limits<std::int64_t>::min() << " "
               << std::numeric_limits<std::uint64_t>::max() << " " << 0;
         },
         "-7 -9223372036854775808 18446744073709551615 0", false},
        {"exactly the buffer", [](simTraceNote_t& n) { n << std::string(full - 1, 'a') << "b"; },
         std::string(full - 1, 'a') + "b", false},
        {"one past the buffer", [](simTraceNote_t& n) { n << std::string(full, 'a') << "b"; },
         std::string(full, 'a') + "b", true},
        {"a number across the edge", [](simTraceNote_t& n) { n << std::string(full - 2, 'x') << 12345; },
         std::string(full - 2, 'x') + "12345", true},
        {"one long piece", [](simTraceNote_t& n) { n << std::string(5 * full, 'm'); }, std::string(5 * full, 'm'),
         true},
        {"growing after the spill",
         [](simTraceNote_t& n) {
             for (int i = 0; i < 100; ++i)
                 n << i << ",";
         },
         [] {
             std::string s;
             for (int i = 0; i < 100; ++i)
                 s += std::to_string(i) + ",";
             return s;
         }(),
         true},
        {"empty pieces at the edge", [](simTraceNote_t& n) { n << std::string(full, 'e') << "" << std::string(); },
         std::string(full, 'e'), false},
    };
    for (const noteCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        simTraceNote_t note;
        c.build(note);
        EXPECT_EQ(note.view(), c.expected);
        EXPECT_EQ(note.size(), c.expected.size());
        EXPECT_EQ(note.spilled(), c.spilled);
    }
}

TEST(simTraceNoteTest, wideTextNarrowedAsTheCodePage)
{
    const std::wstring texts[] = {
        L"",
        L"Front panel",
        L"caf\u00e9 \u20ac \u4e2d \U0001F600 \u00ff",
        std::wstring(40, L'\u00e9') + L"end",      // across the narrowing pieces
        std::wstring(full + 30, L'p') + L"\u00fc",  // across the inline buffer
    };
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(text.size());
        simTraceNote_t note;
        note << "event 8 ";
        note.appendNarrowed(text);
        EXPECT_EQ(note.view(), "event 8 " + wstrToStr(text));
    }
}

}  // namespace
