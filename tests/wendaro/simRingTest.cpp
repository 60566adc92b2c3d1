// The ring of newest items: order and contents across its blocks, as it
// fills, wraps and is cleared.
#include "standins/wendaro/simRing.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct ringCase_t {
    std::size_t capacity;
    std::size_t blockSize;
    int pushed;
};

// The items as the ring visits them; move-only items, so that nothing is
// copied behind the ring's back.
std::vector<int> contents(simRing_t<std::unique_ptr<int>>& ring)
{
    std::vector<int> out;
    ring.visit([&](const std::unique_ptr<int>& item) {
        out.push_back(*item);
        return false;
    });
    return out;
}

TEST(simRingTest, newestItemsOldestFirst)
{
    const ringCase_t cases[] = {
        {0, 4, 5},  {1, 4, 0},  {1, 4, 3},  {4, 4, 4},   {4, 4, 5},   {5, 4, 5},   {5, 4, 6},
        {5, 4, 13}, {8, 3, 20}, {9, 3, 9},  {9, 3, 10},  {10, 1, 25}, {7, 100, 30}, {12, 5, 12},
    };
    for (const ringCase_t& c : cases) {
        SCOPED_TRACE(::testing::Message() << "capacity " << c.capacity << ", block " << c.blockSize << ", pushed "
                                          << c.pushed);
        simRing_t<std::unique_ptr<int>> ring(c.capacity, c.blockSize);
        for (int i = 1; i <= c.pushed; ++i)
            ring.push(std::make_unique<int>(i));
        std::vector<int> expected;
        const int kept = std::min(static_cast<int>(c.capacity), c.pushed);
        for (int i = c.pushed - kept + 1; i <= c.pushed; ++i)
            expected.push_back(i);
        EXPECT_EQ(contents(ring), expected);
        EXPECT_EQ(ring.size(), static_cast<std::size_t>(kept));

        // Cleared, it fills again from its first place.
        ring.clear();
        EXPECT_TRUE(ring.empty());
        EXPECT_TRUE(contents(ring).empty());
        for (int i = 100; i < 100 + c.pushed; ++i)
            ring.push(std::make_unique<int>(i));
        for (int& e : expected)
            e += 99;
        EXPECT_EQ(contents(ring), expected);
    }
}

TEST(simRingTest, visitStopsWhenTold)
{
    simRing_t<std::unique_ptr<int>> ring(5, 2);
    for (int i = 1; i <= 8; ++i)
        ring.push(std::make_unique<int>(i));
    std::vector<int> seen;
    ring.visit([&](const std::unique_ptr<int>& item) {
        seen.push_back(*item);
        return *item == 6;
    });
    EXPECT_EQ(seen, (std::vector<int>{4, 5, 6}));
}

}  // namespace
