// The server's trace keeps the newest entries in the order they came, also
// once its ring has turned and after it was cleared.
#include "standins/wendaro/wendaroTrace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

void addNotes(wendaroTrace_t& trace, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        wendaroTraceEntry_t entry;
        entry.note = std::to_string(i);
        entry.words = {L"W" + std::to_wstring(i)};
        entry.bytes = {static_cast<std::uint8_t>(i)};
        trace.add(std::move(entry));
    }
}

std::vector<std::string> notes(const std::vector<wendaroTraceEntry_t>& entries)
{
    std::vector<std::string> out;
    for (const auto& entry : entries)
        out.push_back(entry.note);
    return out;
}

}  // namespace

TEST(wendaroTraceTest, keepsTheNewestEntriesInOrder)
{
    struct case_t {
        std::size_t capacity;
        int added;
        // Added after a clear(); -1: no clear.
        int afterClear;
        std::vector<std::string> kept;
        std::uint64_t nextMark;
    };
    const std::vector<case_t> cases = {
        {3, 2, -1, {"0", "1"}, 3},
        {3, 3, -1, {"0", "1", "2"}, 4},
        {3, 4, -1, {"1", "2", "3"}, 5},
        {3, 7, -1, {"4", "5", "6"}, 8},
        {1, 5, -1, {"4"}, 6},
        // The capacity comes round exactly twice.
        {2, 4, -1, {"2", "3"}, 5},
        // Cleared after the ring turned: a fresh start in the same room,
        // the sequence numbers go on.
        {3, 5, 2, {"5", "6"}, 8},
        {3, 5, 4, {"6", "7", "8"}, 10},
        {2, 1, 0, {}, 2},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE("capacity " + std::to_string(c.capacity) + ", added " + std::to_string(c.added));
        wendaroTrace_t trace(c.capacity);
        addNotes(trace, 0, c.added);
        if (c.afterClear >= 0) {
            trace.clear();
            addNotes(trace, c.added, c.afterClear);
        }
        const std::vector<wendaroTraceEntry_t> kept = trace.since();
        EXPECT_EQ(notes(kept), c.kept);
        for (std::size_t i = 1; i < kept.size(); ++i)
            EXPECT_EQ(kept[i].sequence, kept[i - 1].sequence + 1);
        for (const auto& entry : kept) {
            // Each entry's own lists came with it into its slot.
            const int n = std::stoi(entry.note);
            EXPECT_EQ(entry.words, std::vector<std::wstring>{L"W" + std::to_wstring(n)});
            EXPECT_EQ(entry.bytes, std::vector<std::uint8_t>{static_cast<std::uint8_t>(n)});
        }
        EXPECT_EQ(trace.mark(), c.nextMark);
        EXPECT_EQ(trace.count([](const wendaroTraceEntry_t&) { return true; }), c.kept.size());
    }
}

TEST(wendaroTraceTest, findsFromAMarkAcrossTheTurnOfTheRing)
{
    wendaroTrace_t trace(4);
    addNotes(trace, 0, 6);  // keeps 2..5, sequences 3..6
    const auto isOdd = [](const wendaroTraceEntry_t& e) { return std::stoi(e.note) % 2 == 1; };
    struct case_t {
        std::uint64_t from;
        std::size_t odd;
        const char* firstOdd;  // nullptr: none
        std::size_t since;
    };
    const std::vector<case_t> cases = {
        {0, 2, "3", 4}, {4, 2, "3", 3}, {5, 1, "5", 2}, {6, 1, "5", 1}, {7, 0, nullptr, 0},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.from));
        EXPECT_EQ(trace.count(isOdd, c.from), c.odd);
        EXPECT_EQ(trace.since(c.from).size(), c.since);
        const auto found = trace.waitFor(isOdd, std::chrono::milliseconds(0), c.from);
        if (c.firstOdd == nullptr)
            EXPECT_FALSE(found.has_value());
        else
            EXPECT_EQ(found ? found->note : std::string(), c.firstOdd);
    }
}
