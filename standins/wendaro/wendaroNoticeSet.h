// wendaroNoticeSet_t: the notices waiting for one connection's next reply.
// At most one chained notice of each kind waits (a newer one replaces it);
// the notices that end a message wait in arrival order, each for a status
// poll of its own. Not locked: the machine that owns the sets serialises.
#pragma once
#include "standins/wendaro/wendaroNotice.h"

#include <optional>
#include <vector>

class wendaroNoticeSet_t {
public:
    void add(wendaroNotice_t notice);
    // The waiting chained notices in the client's order; the set keeps none.
    std::vector<wendaroNotice_t> takeChained();
    bool hasChained() const;
    bool has(wendaroNotice_t::kind_e kind) const;
    std::optional<wendaroNotice_t> takeTerminal();
    bool hasTerminal() const { return !terminal_.empty(); }
    void clear();

private:
    // At most one of each kind, in the client's order. A notice is large and
    // most sets hold none or one: a short list, handed over whole, costs a
    // connection less than a slot for every kind.
    std::vector<wendaroNotice_t> chained_;
    // Few wait at a time, and most sets never hold one: a vector costs an
    // idle connection nothing, where a deque allocates when it is made.
    std::vector<wendaroNotice_t> terminal_;
};
