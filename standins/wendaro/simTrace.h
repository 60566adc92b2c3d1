// simTrace_t: the record of every packet into and out of a simulated printer
// and of what it did on its own (state and error changes, faults, builds).
// Thread-safe: the server's session threads and the clock thread add to it,
// tests wait on it. It keeps the newest entries only (a demo can run for
// days); sequence numbers keep counting.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct simTraceEntry_t {
    enum class kind_e { commandIn_e, replyOut_e, event_e };

    std::uint64_t sequence = 0;
    std::uint64_t clockMs = 0;  // the printer's clock
    std::uint32_t connection = 0;
    kind_e kind = kind_e::event_e;
    // Command code (in), packet type (out), -1 for events.
    int code = -1;
    // The packet as received or sent: [code][payload] or [type][payload].
    std::vector<std::uint8_t> bytes;
    // "unknown command", "wrong length", "fault: no reply", "state 7 -> 5"...
    std::string note;
};

class simTrace_t {
public:
    using predicate_t = std::function<bool(const simTraceEntry_t&)>;

    explicit simTrace_t(std::size_t capacity = 100000) : capacity_(capacity) {}

    void add(simTraceEntry_t entry);
    // The same from the entry's parts, kept without a copy of its own.
    void add(simTraceEntry_t::kind_e kind, std::uint64_t clockMs, std::uint32_t connection, int code,
             std::span<const std::uint8_t> bytes, std::string_view note);

    // The sequence number the next entry will get: a mark to search from.
    std::uint64_t mark() const;
    // Entries with a sequence number of at least `from`, oldest first.
    std::vector<simTraceEntry_t> since(std::uint64_t from = 0) const;
    std::size_t count(const predicate_t& match, std::uint64_t from = 0) const;
    // The first entry from `from` on that matches, waiting until it comes or
    // the time is up.
    std::optional<simTraceEntry_t> waitFor(const predicate_t& match, std::chrono::milliseconds timeout,
                                           std::uint64_t from = 0) const;
    std::optional<simTraceEntry_t> waitUntil(const predicate_t& match, std::chrono::steady_clock::time_point deadline,
                                             std::uint64_t from = 0) const;
    // The command codes received, in order.
    std::vector<int> commands(std::uint64_t from = 0) const;
    void clear();

private:
    // An entry as kept: its bytes and note sit in its block's text.
    struct stored_t {
        std::uint64_t sequence;
        std::uint64_t clockMs;
        std::uint32_t connection;
        int code;
        simTraceEntry_t::kind_e kind;
        std::uint32_t offset;  // in the block's text: the bytes, then the note
        std::uint32_t bytesSize;
        std::uint32_t noteSize;
    };
    // Entries in blocks, each with one text for all their bytes and notes:
    // a printer adds an entry for nearly every packet, and keeping each in
    // pieces of its own would cost more than the rest of the packet. The
    // oldest block goes (and is used again) once the others hold the
    // capacity; the readers leave out what is beyond it.
    struct block_t {
        std::vector<stored_t> entries;
        std::string text;
    };
    static constexpr std::size_t blockSize = 1024;

    // The oldest sequence number kept.
    std::uint64_t firstKeptLocked() const { return nextSequence_ > capacity_ ? nextSequence_ - capacity_ : 0; }
    static void fill(simTraceEntry_t& entry, const block_t& block, const stored_t& stored);
    // visit(entry) for every kept entry from `from` on, oldest first, until
    // it returns true; the entry is filled in one place, valid during the call.
    template <class visit_t>
    void visitLocked(std::uint64_t from, visit_t&& visit) const;
    std::optional<simTraceEntry_t> findLocked(const predicate_t& match, std::uint64_t from) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::vector<block_t> blocks_;  // oldest first
    std::size_t stored_ = 0;       // entries in blocks_
    std::uint64_t nextSequence_ = 1;
    std::size_t capacity_;
};
