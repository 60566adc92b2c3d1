// The server's trace keeps the newest entries in the order they came, also
// once its ring has turned and after it was cleared.
#include "standins/wendaro/wendaroTrace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

namespace {

void addNotes(wendaroTrace_t& trace, int from, int count)
{
    for (int i = from; i < from + count; ++i) {
        wendaroTraceEntry_t entry;
        entry.note = std::to_string(i);
        entry.bytes = {static_cast<std::uint8_t>(i)};
        trace.add(std::move(entry));
    }
}

// Each note, checked against the bytes that came with it into its slot.
std::string notes(const std::vector<wendaroTraceEntry_t>& entries)
{
    std::string out;
    for (const auto& entry : entries)
        out += entry.bytes == std::vector<std::uint8_t>{std::uint8_t(std::stoi(entry.note))} ? entry.note + " " : "?";
    return out;
}

}  // namespace

TEST(wendaroTraceTest, keepsTheNewestEntriesInOrder)
{
    struct case_t {
        std::size_t capacity;
        int added;
        int afterClear;  // added after a clear(); -1: no clear
        std::string kept;
        std::uint64_t nextMark;
    };
    const std::vector<case_t> cases = {
        {3, 2, -1, "0 1 ", 3},     {3, 3, -1, "0 1 2 ", 4}, {3, 4, -1, "1 2 3 ", 5},
        {3, 7, -1, "4 5 6 ", 8},   {1, 5, -1, "4 ", 6},     {2, 4, -1, "2 3 ", 5},
        // Cleared after the ring turned: the same room, the numbers go on.
        {3, 5, 2, "5 6 ", 8},      {3, 5, 4, "6 7 8 ", 10}, {2, 1, 0, "", 2},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(std::to_string(c.capacity) + " " + std::to_string(c.added) + " " + std::to_string(c.afterClear));
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
        EXPECT_EQ(trace.mark(), c.nextMark);
    }

    // Looked through from a mark across the turn of the ring: notes 2..5
    // are kept, with sequence numbers 3..6.
    wendaroTrace_t trace(4);
    addNotes(trace, 0, 6);
    const auto isOdd = [](const wendaroTraceEntry_t& e) { return std::stoi(e.note) % 2 == 1; };
    const std::vector<std::tuple<std::uint64_t, std::size_t, std::string>> fromMarks = {
        {0, 2, "3"}, {4, 2, "3"}, {5, 1, "5"}, {6, 1, "5"}, {7, 0, ""}};
    for (const auto& [from, odd, firstOdd] : fromMarks) {
        SCOPED_TRACE("from " + std::to_string(from));
        EXPECT_EQ(trace.count(isOdd, from), odd);
        EXPECT_EQ(trace.since(from).size(), std::min<std::size_t>(4, 7 - from));
        const auto found = trace.waitFor(isOdd, std::chrono::milliseconds(0), from);
        EXPECT_EQ(found ? found->note : std::string(), firstOdd);
    }
}
