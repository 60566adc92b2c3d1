// The in-place list of an answer's steps: order, bytes and the edge of its
// room survive copies and moves.
#include "standins/wendaro/wendaroSteps.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// "S<first byte>" for a send, "P<ms>" for a pause, in order.
std::string describe(const wendaroSteps_t& steps)
{
    std::string out;
    for (const wendaroStep_t& step : steps)
        out += step.kind == wendaroStep_t::kind_e::send_e ? "S" + std::to_string(step.bytes.at(0)) + " "
                                                          : "P" + std::to_string(step.ms) + " ";
    return out;
}

wendaroSteps_t filled(std::size_t count)
{
    wendaroSteps_t steps;
    for (std::size_t i = 0; i < count; ++i) {
        wendaroStep_t step;
        if (i % 2 == 0)
            step.bytes = {static_cast<std::uint8_t>(i + 10), 0xFF};
        else
            step = {wendaroStep_t::kind_e::pause_e, {}, static_cast<std::uint32_t>(i)};
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace

TEST(wendaroStepsTest, keepsItsStepsThroughCopiesAndMovesUpToItsRoom)
{
    const std::vector<std::pair<std::size_t, std::string>> cases = {
        {0, ""}, {1, "S10 "}, {3, "S10 P1 S12 "}, {wendaroSteps_t::capacity, "S10 P1 S12 P3 "}};
    for (const auto& [count, want] : cases) {
        SCOPED_TRACE("steps " + std::to_string(count));
        wendaroSteps_t original = filled(count);
        wendaroSteps_t assigned = filled(wendaroSteps_t::capacity);
        assigned = original;
        wendaroSteps_t moveAssigned = filled(1);
        moveAssigned = wendaroSteps_t(original);
        const wendaroSteps_t copy = original;
        const wendaroSteps_t moved = std::move(original);
        const std::vector<const wendaroSteps_t*> all = {&copy, &assigned, &moved, &moveAssigned};
        for (const wendaroSteps_t* steps : all) {
            EXPECT_EQ(steps->size(), count);
            EXPECT_EQ(steps->empty(), count == 0);
            EXPECT_EQ(describe(*steps), want);
        }
    }
    wendaroSteps_t full = filled(wendaroSteps_t::capacity);
    EXPECT_THROW(full.push_back(wendaroStep_t{}), std::length_error);
    EXPECT_EQ(describe(full), "S10 P1 S12 P3 ");
    const wendaroStep_t close{wendaroStep_t::kind_e::close_e, {}, 0};
    EXPECT_EQ((wendaroSteps_t{close, close}).size(), 2u);
    EXPECT_THROW((wendaroSteps_t{close, close, close, close, close}), std::length_error);
}
