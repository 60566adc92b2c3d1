// The trace keeps the newest entries only: what it gives back, in what
// order, as it fills up and gives up its oldest.
#include "standins/wendaro/simTrace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace {

struct ringCase_t {
    std::size_t capacity;
    int added;
};

// Even sequence numbers are commands (code = sequence), odd ones events.
simTraceEntry_t entryFor(std::uint64_t sequence)
{
    simTraceEntry_t entry;
    const bool command = sequence % 2 == 0;
    entry.kind = command ? simTraceEntry_t::kind_e::commandIn_e : simTraceEntry_t::kind_e::event_e;
    entry.code = command ? static_cast<int>(sequence) : -1;
    entry.bytes.assign(sequence % 5, static_cast<std::uint8_t>(sequence));
    entry.note = "note " + std::to_string(sequence);
    entry.clockMs = 10 * sequence;
    entry.connection = static_cast<std::uint32_t>(sequence % 3);
    return entry;
}

TEST(simTraceTest, keepsTheNewestInOrderAcrossTheWrap)
{
    // Small traces, and traces across the blocks of a thousand entries that
    // they keep, the oldest block given up only once the others hold the
    // capacity.
    const ringCase_t cases[] = {{0, 3},       {1, 4},       {3, 2},       {3, 7},      {5, 23},
                                {3, 2100},    {1024, 1024}, {1024, 1025}, {1024, 3073}, {1500, 4000},
                                {2500, 2000}, {2049, 5000}};
    for (const ringCase_t& c : cases) {
        SCOPED_TRACE(::testing::Message() << "capacity " << c.capacity << ", added " << c.added);
        simTrace_t trace(c.capacity);
        // Whole entries and entries made of their parts, alternately.
        for (int i = 1; i <= c.added; ++i) {
            simTraceEntry_t e = entryFor(static_cast<std::uint64_t>(i));
            if (i % 3 == 0)
                trace.add(e.kind, e.clockMs, e.connection, e.code, e.bytes, e.note);
            else
                trace.add(std::move(e));
        }
        EXPECT_EQ(trace.mark(), static_cast<std::uint64_t>(c.added) + 1);

        const std::uint64_t kept = std::min<std::uint64_t>(c.capacity, static_cast<std::uint64_t>(c.added));
        const std::uint64_t first = static_cast<std::uint64_t>(c.added) - kept + 1;
        for (std::uint64_t from : {std::uint64_t{0}, first + 1, static_cast<std::uint64_t>(c.added)}) {
            const std::vector<simTraceEntry_t> entries = trace.since(from);
            std::vector<std::uint64_t> expected;
            std::vector<int> codes;
            for (std::uint64_t s = std::max(first, from); s <= static_cast<std::uint64_t>(c.added) && kept > 0; ++s) {
                expected.push_back(s);
                if (s % 2 == 0)
                    codes.push_back(static_cast<int>(s));
            }
            std::vector<std::uint64_t> got;
            for (const simTraceEntry_t& e : entries) {
                got.push_back(e.sequence);
                const simTraceEntry_t original = entryFor(e.sequence);
                EXPECT_EQ(e.note, original.note);
                EXPECT_EQ(e.clockMs, original.clockMs);
                EXPECT_EQ(e.connection, original.connection);
                EXPECT_EQ(e.bytes, original.bytes);
            }
            EXPECT_EQ(got, expected) << "from " << from;
            EXPECT_EQ(trace.commands(from), codes) << "from " << from;
            EXPECT_EQ(trace.count([](const simTraceEntry_t& e) { return e.code >= 0; }, from), codes.size());
        }
        // The first match from a mark is the oldest one kept.
        const auto found = trace.waitFor([](const simTraceEntry_t&) { return true; }, std::chrono::milliseconds(0));
        EXPECT_EQ(found.has_value(), kept > 0);
        if (found) {
            EXPECT_EQ(found->sequence, first);
        }
    }
}

TEST(simTraceTest, clearedTraceFillsAgainAndKeepsCounting)
{
    struct clearCase_t {
        std::size_t capacity;
        std::uint64_t before;  // entries before the clear
        std::uint64_t after;   // and after it
    };
    for (const clearCase_t c : {clearCase_t{3, 5, 5}, clearCase_t{1100, 2500, 1500}, clearCase_t{1100, 2500, 700}}) {
        SCOPED_TRACE(::testing::Message() << c.capacity << " " << c.before << " " << c.after);
        simTrace_t trace(c.capacity);
        for (std::uint64_t s = 1; s <= c.before; ++s)
            trace.add(entryFor(s));
        trace.clear();
        EXPECT_TRUE(trace.since().empty());
        std::vector<std::uint64_t> expected;
        std::vector<int> codes;
        for (std::uint64_t s = c.before + 1; s <= c.before + c.after; ++s) {
            simTraceEntry_t e = entryFor(s);
            trace.add(e.kind, e.clockMs, e.connection, e.code, e.bytes, e.note);
            if (s + c.capacity > c.before + c.after) {
                expected.push_back(s);
                if (s % 2 == 0)
                    codes.push_back(static_cast<int>(s));
            }
        }
        std::vector<std::uint64_t> got;
        for (const simTraceEntry_t& e : trace.since())
            got.push_back(e.sequence);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(trace.commands(), codes);
    }
}

}  // namespace
