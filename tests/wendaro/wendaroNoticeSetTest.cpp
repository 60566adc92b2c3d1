// The notices waiting for a connection: one of each chained kind, the
// newest, in the client's order whatever order they came in; the ones that
// end a message one by one in arrival order.
#include "standins/wendaro/wendaroNoticeSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kind = wendaroNotice_t::kind_e;

struct added_t {
    kind k;
    std::uint32_t value;
};

std::string describe(const std::vector<wendaroNotice_t>& notices)
{
    std::string out;
    for (const wendaroNotice_t& notice : notices)
        out += std::to_string(static_cast<int>(notice.kind)) + ":" + std::to_string(notice.value1) + " ";
    return out;
}

}  // namespace

TEST(wendaroNoticeSetTest, keepsTheNewestOfEachKindInTheClientsOrder)
{
    // Chain positions: errorLog 0, queueChanged 2, machineName 3, newLog 6,
    // timeEstimate 9, modelEnded 11; slicerOk 13 and disconnect 16 end a message.
    struct case_t {
        const char* name;
        std::vector<added_t> added;
        std::string chained;
        std::string terminal;
    };
    const std::vector<case_t> cases = {
        {"none", {}, "", ""},
        {"backwards", {{kind::modelEnded_e, 1}, {kind::timeEstimate_e, 2}, {kind::queueChanged_e, 3}},
         "2:3 9:2 11:1 ", ""},
        {"forwards", {{kind::errorLog_e, 1}, {kind::queueChanged_e, 2}, {kind::modelEnded_e, 3}}, "0:1 2:2 11:3 ", ""},
        {"into the middle",
         {{kind::errorLog_e, 1}, {kind::modelEnded_e, 2}, {kind::newLog_e, 3}, {kind::queueChanged_e, 4}},
         "0:1 2:4 6:3 11:2 ",
         ""},
        {"newest replaces in place",
         {{kind::queueChanged_e, 1}, {kind::newLog_e, 2}, {kind::queueChanged_e, 3}, {kind::newLog_e, 4}},
         "2:3 6:4 ", ""},
        {"first and last replaced",
         {{kind::errorLog_e, 1}, {kind::modelEnded_e, 2}, {kind::errorLog_e, 3}, {kind::modelEnded_e, 4}},
         "0:3 11:4 ", ""},
        {"enders kept apart, all of them, in arrival order",
         {{kind::disconnect_e, 1}, {kind::newLog_e, 2}, {kind::slicerOk_e, 3}, {kind::disconnect_e, 4}}, "6:2 ",
         "16:1 13:3 16:4 "},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        wendaroNoticeSet_t set;
        for (const added_t& a : c.added)
            set.add(wendaroNotice_t::numbers(a.k, a.value));
        for (const added_t& a : c.added)
            EXPECT_TRUE(set.has(a.k));
        EXPECT_FALSE(set.has(kind::machineName_e));
        EXPECT_EQ(set.hasChained(), !c.chained.empty());

        EXPECT_EQ(describe(set.takeChained()), c.chained);
        EXPECT_FALSE(set.hasChained());
        EXPECT_EQ(describe(set.takeChained()), "");

        std::vector<wendaroNotice_t> enders;
        while (set.hasTerminal())
            enders.push_back(*set.takeTerminal());
        EXPECT_EQ(describe(enders), c.terminal);
        EXPECT_FALSE(set.takeTerminal().has_value());
    }
}
