#include "standins/wendaro/wendaroNoticeSet.h"

#include <cstddef>

void wendaroNoticeSet_t::add(wendaroNotice_t notice)
{
    if (notice.isChained())
        chained_[static_cast<std::size_t>(notice.chainIndex())] = std::move(notice);
    else
        terminal_.push_back(std::move(notice));
}

std::vector<wendaroNotice_t> wendaroNoticeSet_t::takeChained()
{
    std::vector<wendaroNotice_t> out;
    std::size_t waiting = 0;
    for (const auto& slot : chained_)
        waiting += slot.has_value() ? 1 : 0;
    if (waiting == 0)
        return out;
    out.reserve(waiting);
    for (auto& slot : chained_) {
        if (slot) {
            out.push_back(std::move(*slot));
            slot.reset();
        }
    }
    return out;
}

bool wendaroNoticeSet_t::hasChained() const
{
    for (const auto& slot : chained_) {
        if (slot)
            return true;
    }
    return false;
}

bool wendaroNoticeSet_t::has(wendaroNotice_t::kind_e kind) const
{
    const wendaroNotice_t probe = wendaroNotice_t::liveOf(kind);
    if (probe.isChained())
        return chained_[static_cast<std::size_t>(probe.chainIndex())].has_value();
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
    for (auto& slot : chained_)
        slot.reset();
    terminal_.clear();
}
