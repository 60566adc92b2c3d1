// The in-place list of an answer's steps: order, bytes and the edge of its
// room survive copies and moves.
#include "standins/wendaro/wendaroSteps.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using kind_e = wendaroStep_t::kind_e;

wendaroStep_t send(std::vector<std::uint8_t> bytes)
{
    wendaroStep_t step;
    step.bytes = std::move(bytes);
    return step;
}

wendaroStep_t pause(std::uint32_t ms)
{
    wendaroStep_t step;
    step.kind = kind_e::pause_e;
    step.ms = ms;
    return step;
}

// "S<bytes>", "P<ms>" or "C" for each step, in order.
std::string describe(const wendaroSteps_t& steps)
{
    std::string out;
    for (const wendaroStep_t& step : steps) {
        switch (step.kind) {
        case kind_e::send_e:
            out += "S";
            for (std::uint8_t b : step.bytes)
                out += std::to_string(b) + ".";
            break;
        case kind_e::pause_e:
            out += "P" + std::to_string(step.ms);
            break;
        case kind_e::close_e:
            out += "C";
            break;
        }
        out += " ";
    }
    return out;
}

wendaroSteps_t filled(std::size_t count)
{
    wendaroSteps_t steps;
    for (std::size_t i = 0; i < count; ++i)
        steps.push_back(i % 2 == 0 ? send({static_cast<std::uint8_t>(i), 0xFF}) : pause(static_cast<std::uint32_t>(i)));
    return steps;
}

}  // namespace

TEST(wendaroStepsTest, keepsItsStepsThroughCopiesAndMoves)
{
    struct case_t {
        std::size_t count;
        std::string expected;
    };
    const std::vector<case_t> cases = {
        {0, ""},
        {1, "S0.255. "},
        {3, "S0.255. P1 S2.255. "},
        {wendaroSteps_t::capacity, "S0.255. P1 S2.255. P3 "},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE("steps " + std::to_string(c.count));
        wendaroSteps_t original = filled(c.count);
        EXPECT_EQ(original.size(), c.count);
        EXPECT_EQ(original.empty(), c.count == 0);
        EXPECT_EQ(describe(original), c.expected);

        const wendaroSteps_t copy = original;
        wendaroSteps_t assigned = filled(wendaroSteps_t::capacity);
        assigned = copy;
        const wendaroSteps_t moved = std::move(original);
        wendaroSteps_t moveAssigned = filled(1);
        moveAssigned = wendaroSteps_t(copy);
        const std::vector<const wendaroSteps_t*> all = {&copy, &assigned, &moved, &moveAssigned};
        for (const wendaroSteps_t* steps : all) {
            EXPECT_EQ(steps->size(), c.count);
            EXPECT_EQ(describe(*steps), c.expected);
        }
    }
}

TEST(wendaroStepsTest, refusesAStepBeyondItsRoom)
{
    wendaroSteps_t full = filled(wendaroSteps_t::capacity);
    EXPECT_THROW(full.push_back(send({9})), std::length_error);
    EXPECT_EQ(describe(full), "S0.255. P1 S2.255. P3 ");

    const wendaroStep_t close{kind_e::close_e, {}, 0};
    const wendaroSteps_t listed = {pause(7), send({1, 2}), close};
    EXPECT_EQ(describe(listed), "P7 S1.2. C ");
    EXPECT_THROW((wendaroSteps_t{close, close, close, close, close}), std::length_error);
}
