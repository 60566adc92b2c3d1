// wendaroTrace_t: every message between the stand-in server and its
// clients, in order, with connections opening and closing and what the
// server did about bad input. Thread-safe: each connection's thread adds to
// it, tests wait on it. Keeps the newest entries (a demo can run for days);
// sequence numbers keep counting. The entries live in one ring whose room
// outlasts clear(): a busy server adds entries without allocating slots. When a file is given, every entry is also
// written to it as one JSON object per line.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct wendaroTraceEntry_t {
    enum class kind_e { in_e, out_e, opened_e, closed_e, event_e };

    std::uint64_t sequence = 0;
    std::uint64_t ms = 0;  // since the trace began
    std::uint32_t connection = 0;
    std::uint32_t machine = 0;
    kind_e kind = kind_e::event_e;
    // The words of the message, in order (in: the request's word).
    std::vector<std::wstring> words;
    int command = -1;     // a "CMND"'s command code
    int packetType = -1;  // the type of a "RESP" packet
    std::vector<std::uint8_t> bytes;
    std::string note;
    bool malformed = false;
    int fault = 0;  // the id of the rule that acted, 0 none

    bool hasWord(const std::wstring& word) const;
};

class wendaroTrace_t {
public:
    using predicate_t = std::function<bool(const wendaroTraceEntry_t&)>;

    explicit wendaroTrace_t(std::size_t capacity = 100000);
    ~wendaroTrace_t();
    wendaroTrace_t(const wendaroTrace_t&) = delete;
    wendaroTrace_t& operator=(const wendaroTrace_t&) = delete;

    // Also writes JSON lines to the file (Linux path); false when it cannot
    // be opened.
    bool writeTo(const std::string& path);

    void add(wendaroTraceEntry_t&& entry);
    void add(const wendaroTraceEntry_t& entry) { add(wendaroTraceEntry_t(entry)); }
    std::uint64_t mark() const;
    std::vector<wendaroTraceEntry_t> since(std::uint64_t from = 0) const;
    std::size_t count(const predicate_t& match, std::uint64_t from = 0) const;
    std::optional<wendaroTraceEntry_t> waitFor(const predicate_t& match, std::chrono::milliseconds timeout,
                                               std::uint64_t from = 0) const;
    void clear();

    // One entry as a JSON object (no line end).
    static std::string toJson(const wendaroTraceEntry_t& entry);

private:
    std::optional<wendaroTraceEntry_t> findLocked(const predicate_t& match, std::uint64_t from) const;
    // The i-th kept entry, oldest first.
    const wendaroTraceEntry_t& atLocked(std::size_t i) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    // Grows to the capacity, then the oldest slot (at oldest_) is reused.
    std::vector<wendaroTraceEntry_t> entries_;
    std::size_t oldest_ = 0;
    std::uint64_t nextSequence_ = 1;
    std::size_t capacity_;
    std::chrono::steady_clock::time_point start_;
    std::FILE* file_ = nullptr;
};
