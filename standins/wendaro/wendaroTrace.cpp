#include "standins/wendaro/wendaroTrace.h"

#include "machine/wstr.h"
#include "platform/codePage.h"

#include <algorithm>

namespace {

std::string narrow(const std::wstring& text) { return wideToUtf8(text); }

std::string number(long long value) { return narrow(toStr(value)); }

void appendJsonText(std::string& out, const std::string& text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

const char* kindName(wendaroTraceEntry_t::kind_e kind)
{
    switch (kind) {
    case wendaroTraceEntry_t::kind_e::in_e: return "in";
    case wendaroTraceEntry_t::kind_e::out_e: return "out";
    case wendaroTraceEntry_t::kind_e::opened_e: return "opened";
    case wendaroTraceEntry_t::kind_e::closed_e: return "closed";
    case wendaroTraceEntry_t::kind_e::event_e: return "event";
    }
    return "event";
}

}  // namespace

bool wendaroTraceEntry_t::hasWord(const std::wstring& word) const
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

wendaroTrace_t::wendaroTrace_t(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)), start_(std::chrono::steady_clock::now())
{
}

wendaroTrace_t::~wendaroTrace_t()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool wendaroTrace_t::writeTo(const std::string& path)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = std::fopen(path.c_str(), "ae");
    return file_ != nullptr;
}

void wendaroTrace_t::add(wendaroTraceEntry_t&& entry)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        entry.sequence = nextSequence_++;
        entry.ms = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
        if (file_ != nullptr) {
            const std::string line = toJson(entry) + "\n";
            std::fwrite(line.data(), 1, line.size(), file_);
            std::fflush(file_);
        }
        if (entries_.size() < capacity_) {
            // Grown by doubling, but never past the capacity.
            if (entries_.size() == entries_.capacity())
                entries_.reserve(std::min(capacity_, std::max<std::size_t>(16, 2 * entries_.size())));
            entries_.push_back(std::move(entry));
        } else {
            entries_[oldest_] = std::move(entry);
            oldest_ = oldest_ + 1 == capacity_ ? 0 : oldest_ + 1;
        }
    }
    added_.notify_all();
}

std::uint64_t wendaroTrace_t::mark() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return nextSequence_;
}

std::vector<wendaroTraceEntry_t> wendaroTrace_t::since(std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<wendaroTraceEntry_t> out;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const wendaroTraceEntry_t& entry = atLocked(i);
        if (entry.sequence >= from)
            out.push_back(entry);
    }
    return out;
}

std::size_t wendaroTrace_t::count(const predicate_t& match, std::uint64_t from) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t matching = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const wendaroTraceEntry_t& entry = atLocked(i);
        if (entry.sequence >= from && match(entry))
            ++matching;
    }
    return matching;
}

std::optional<wendaroTraceEntry_t> wendaroTrace_t::findLocked(const predicate_t& match, std::uint64_t from) const
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const wendaroTraceEntry_t& entry = atLocked(i);
        if (entry.sequence >= from && match(entry))
            return entry;
    }
    return std::nullopt;
}

const wendaroTraceEntry_t& wendaroTrace_t::atLocked(std::size_t i) const
{
    // Until the ring is full, oldest_ stays 0 and the order is the vector's.
    const std::size_t at = oldest_ + i;
    return entries_[at < entries_.size() ? at : at - entries_.size()];
}

std::optional<wendaroTraceEntry_t> wendaroTrace_t::waitFor(const predicate_t& match,
                                                          std::chrono::milliseconds timeout,
                                                          std::uint64_t from) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<wendaroTraceEntry_t> found;
    added_.wait_for(lock, timeout, [&] {
        found = findLocked(match, from);
        return found.has_value();
    });
    return found;
}

void wendaroTrace_t::clear()
{
    std::lock_guard<std::mutex> guard(mutex_);
    // The slots' room stays for the entries to come.
    entries_.clear();
    oldest_ = 0;
}

std::string wendaroTrace_t::toJson(const wendaroTraceEntry_t& entry)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "{\"seq\":" + number(static_cast<long long>(entry.sequence)) +
                      ",\"ms\":" + number(static_cast<long long>(entry.ms)) +
                      ",\"connection\":" + number(entry.connection) + ",\"machine\":" + number(entry.machine) +
                      ",\"kind\":\"" + kindName(entry.kind) + "\",\"words\":[";
    for (std::size_t i = 0; i < entry.words.size(); ++i) {
        if (i > 0)
            out += ',';
        appendJsonText(out, narrow(entry.words[i]));
    }
    out += ']';
    if (entry.command >= 0)
        out += ",\"command\":" + number(entry.command);
    if (entry.packetType >= 0)
        out += ",\"packetType\":" + number(entry.packetType);
    if (!entry.note.empty()) {
        out += ",\"note\":";
        appendJsonText(out, entry.note);
    }
    if (entry.malformed)
        out += ",\"malformed\":true";
    if (entry.fault != 0)
        out += ",\"fault\":" + number(entry.fault);
    out += ",\"bytes\":\"";
    for (std::uint8_t b : entry.bytes) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
    }
    out += "\"}";
    return out;
}
