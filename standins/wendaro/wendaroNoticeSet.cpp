#include "standins/wendaro/wendaroNoticeSet.h"

#include <cstddef>
#include <utility>

void wendaroNoticeSet_t::add(wendaroNotice_t notice)
{
    if (!notice.isChained()) {
        terminal_.push_back(std::move(notice));
        return;
    }
    // A newer notice of a kind replaces the waiting one in its place.
    auto at = chained_.begin();
    while (at != chained_.end() && at->chainIndex() < notice.chainIndex())
        ++at;
    if (at != chained_.end() && at->chainIndex() == notice.chainIndex())
        *at = std::move(notice);
    else
        chained_.insert(at, std::move(notice));
}

std::vector<wendaroNotice_t> wendaroNoticeSet_t::takeChained() { return std::exchange(chained_, {}); }

bool wendaroNoticeSet_t::hasChained() const { return !chained_.empty(); }

bool wendaroNoticeSet_t::has(wendaroNotice_t::kind_e kind) const
{
    for (const wendaroNotice_t& notice : chained_) {
        if (notice.kind == kind)
            return true;
    }
    for (const wendaroNotice_t& notice : terminal_) {
        if (notice.kind == kind)
            return true;
    }
    return false;
}

std::optional<wendaroNotice_t> wendaroNoticeSet_t::takeTerminal()
{
    if (terminal_.empty())
        return std::nullopt;
    wendaroNotice_t notice = std::move(terminal_.front());
    terminal_.erase(terminal_.begin());
    return notice;
}

void wendaroNoticeSet_t::clear()
{
    chained_.clear();
    terminal_.clear();
}
