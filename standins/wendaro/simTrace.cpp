#include "standins/wendaro/simTrace.h"

#include <algorithm>

void simTrace_t::fill(simTraceEntry_t& entry, const block_t& block, const stored_t& stored)
{
    entry.sequence = stored.sequence;
    entry.clockMs = stored.clockMs;
    entry.connection = stored.connection;
    entry.kind = stored.kind;
    entry.code = stored.code;
    const char* bytes = block.text.data() + stored.offset;
    entry.bytes.assign(reinterpret_cast<const std::uint8_t*>(bytes),
                       reinterpret_cast<const std::uint8_t*>(bytes) + stored.bytesSize);
    entry.note.assign(bytes + stored.bytesSize, stored.noteSize);
}

template <class visit_t>
void simTrace_t::visitLocked(std::uint64_t from, visit_t&& visit) const
{
    from = std::max(from, firstKeptLocked());
    simTraceEntry_t entry;
    for (const block_t& block : blocks_) {
        if (block.entries.empty() || block.entries.back().sequence < from)
            continue;
        for (const stored_t& stored : block.entries) {
            if (stored.sequence < from)
                continue;
            fill(entry, block, stored);
            if (visit(entry))
                return;
        }
    }
}

void simTrace_t::add(simTraceEntry_t entry)
{
    add(entry.kind, entry.clockMs, entry.connection, entry.code, entry.bytes, entry.note);
}

void simTrace_t::add(simTraceEntry_t::kind_e kind, std::uint64_t clockMs, std::uint32_t connection, int code,
                     std::span<const std::uint8_t> bytes, std::string_view note)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const std::uint64_t sequence = nextSequence_++;
        if (capacity_ == 0)
            return;  // keeps nothing, as a trace of no entries would
        if (blocks_.empty() || blocks_.back().entries.size() == blockSize) {
            if (!blocks_.empty() && stored_ - blocks_.front().entries.size() >= capacity_) {
                // The oldest block holds nothing the capacity keeps: it
                // becomes the newest, its room kept.
                block_t oldest = std::move(blocks_.front());
                blocks_.erase(blocks_.begin());
                stored_ -= oldest.entries.size();
                oldest.entries.clear();
                oldest.text.clear();
                blocks_.push_back(std::move(oldest));
            } else {
                block_t& block = blocks_.emplace_back();
                block.entries.reserve(std::min(blockSize, capacity_));
                block.text.reserve(16 * std::min(blockSize, capacity_));
            }
        }
        block_t& block = blocks_.back();
        block.entries.push_back(stored_t{sequence, clockMs, connection, code, kind,
                                         static_cast<std::uint32_t>(block.text.size()),
                                         static_cast<std::uint32_t>(bytes.size()),
                                         static_cast<std::uint32_t>(note.size())});
        block.text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        block.text.append(note);
        ++stored_;
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
    visitLocked(from, [&](const simTraceEntry_t& entry) {
        out.push_back(entry);
        return false;
    });
    return out;
}

std::size_t simTrace_t::count(const predicate_t& match, std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t n = 0;
    visitLocked(from, [&](const simTraceEntry_t& entry) {
        if (match(entry))
            ++n;
        return false;
    });
    return n;
}

std::optional<simTraceEntry_t> simTrace_t::findLocked(const predicate_t& match, std::uint64_t from) const
{
    std::optional<simTraceEntry_t> found;
    visitLocked(from, [&](const simTraceEntry_t& entry) {
        if (match(entry))
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
    from = std::max(from, firstKeptLocked());
    for (const block_t& block : blocks_)
        for (const stored_t& stored : block.entries)
            if (stored.sequence >= from && stored.kind == simTraceEntry_t::kind_e::commandIn_e)
                codes.push_back(stored.code);
    return codes;
}

void simTrace_t::clear()
{
    std::lock_guard<std::mutex> guard(mutex_);
    blocks_.clear();
    stored_ = 0;
}
