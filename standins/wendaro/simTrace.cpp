#include "standins/wendaro/simTrace.h"

#include <algorithm>

void simTrace_t::add(simTraceEntry_t entry)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        entry.sequence = nextSequence_++;
        entries_.push(std::move(entry));
    }
    added_.notify_all();
}

void simTrace_t::add(simTraceEntry_t::kind_e kind, std::uint64_t clockMs, std::uint32_t connection, int code,
                     std::vector<std::uint8_t>&& bytes, std::string_view note)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.push(simTraceEntry_t{nextSequence_++, clockMs, connection, kind, code, std::move(bytes),
                                      std::string(note)});
    }
    added_.notify_all();
}

std::uint64_t simTrace_t::mark() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return nextSequence_;
}

std::vector<simTraceEntry_t> simTrace_t::since(std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<simTraceEntry_t> out;
    entries_.visit([&](const simTraceEntry_t& entry) {
        if (entry.sequence >= from)
            out.push_back(entry);
        return false;
    });
    return out;
}

std::size_t simTrace_t::count(const predicate_t& match, std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t n = 0;
    entries_.visit([&](const simTraceEntry_t& entry) {
        if (entry.sequence >= from && match(entry))
            ++n;
        return false;
    });
    return n;
}

std::optional<simTraceEntry_t> simTrace_t::findLocked(const predicate_t& match, std::uint64_t from) const
{
    std::optional<simTraceEntry_t> found;
    entries_.visit([&](const simTraceEntry_t& entry) {
        if (entry.sequence >= from && match(entry))
            found = entry;
        return found.has_value();
    });
    return found;
}

std::optional<simTraceEntry_t> simTrace_t::waitFor(const predicate_t& match, std::chrono::milliseconds timeout,
                                                   std::uint64_t from) const
{
    return waitUntil(match, std::chrono::steady_clock::now() + timeout, from);
}

std::optional<simTraceEntry_t> simTrace_t::waitUntil(const predicate_t& match,
                                                     std::chrono::steady_clock::time_point deadline,
                                                     std::uint64_t from) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (auto found = findLocked(match, from))
            return found;
        // Entries already looked at need no second look.
        from = std::max(from, nextSequence_);
        if (added_.wait_until(lock, deadline) == std::cv_status::timeout)
            return findLocked(match, from);
    }
}

std::vector<int> simTrace_t::commands(std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<int> codes;
    entries_.visit([&](const simTraceEntry_t& entry) {
        if (entry.sequence >= from && entry.kind == simTraceEntry_t::kind_e::commandIn_e)
            codes.push_back(entry.code);
        return false;
    });
    return codes;
}

void simTrace_t::clear()
{
    std::lock_guard<std::mutex> guard(mutex_);
    entries_.clear();
}
