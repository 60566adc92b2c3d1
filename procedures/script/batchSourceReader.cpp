#include "procedures/script/batchSourceReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// The bytes that take() may classify or that text mode reads otherwise
// than as themselves; in raw mode, none.
struct byteSet_t {
    bool is[256] = {};
    constexpr explicit byteSet_t(const char* bytes)
    {
        for (const char* c = bytes; *c != 0; ++c)
            is[static_cast<unsigned char>(*c)] = true;
    }
};
constexpr byteSet_t special("/*\\\r\x1A");
// Inside a line comment every character is a blank but these: the line feed
// that ends it, a CR (a line end of its own), the backslash of a line join
// and the end of the text.
constexpr byteSet_t commentStops("\n\r\\\x1A");

// The offset of the first byte of the set in bytes[0, count), or count.
// Eight bytes are tested at a time: a byte equal to s turns into a zero byte
// of word ^ (s in every byte), and (x - 0x01..01) & ~x & 0x80..80 marks zero
// bytes, exactly from the lowest one up, which is the first in memory on a
// little-endian machine.
template <unsigned char... Set>
std::size_t firstOf(const char* bytes, std::size_t count, const byteSet_t& set)
{
    static_assert(std::endian::native == std::endian::little);
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    std::size_t at = 0;
    for (; count - at >= 8; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, 8);
        std::uint64_t marks = 0;
        for (const unsigned char s : {Set...}) {
            const std::uint64_t x = word ^ (ones * s);
            marks |= (x - ones) & ~x & highs;
        }
        if (marks != 0)
            return at + static_cast<std::size_t>(std::countr_zero(marks) / 8);
    }
    for (; at < count; ++at)
        if (set.is[static_cast<unsigned char>(bytes[at])])
            return at;
    return count;
}

}  // namespace

batchSourceReader_t::batchSourceReader_t(const std::wstring& path) : path_(path)
{
    if (file_.open(path, true))
        chooseMode();
}

batchSourceReader_t::batchSourceReader_t(const std::wstring& path, std::string_view bytes) : path_(path)
{
    file_.openBytes(bytes, true);
    chooseMode();
}

void batchSourceReader_t::chooseMode()
{
    int first = take();
    int second = take();
    if (!isTextChar(first) || !isTextChar(second)) {
        raw_ = true;
        file_.setText(false);
    }
    seek(0, std::ios_base::beg);
}

bool batchSourceReader_t::isTextChar(int ch)
{
    int low = ch & 0xFF;  // end-of-input has the low byte 0xFF
    return (low >= 9 && low <= 13) || (low >= 32 && low <= 127);
}

std::int64_t batchSourceReader_t::seek(std::int64_t offset, std::ios_base::seekdir direction)
{
    std::int64_t position = file_.seek(offset, direction);
    current_ = held_t{};
    next_ = held_t{};
    if (position >= 0)
        current_.start = current_.end = next_.start = next_.end = position;
    return position;
}

int batchSourceReader_t::takePlain(char* text, std::int64_t* starts, std::int64_t* ends, int room, bool lineComment)
{
    // The character that moves up must be plain, and not the very first,
    // which take() reads itself.
    if (current_.ch == endOfInput && next_.ch == endOfInput)
        return 0;
    // In raw mode nothing is classified and every byte stands for itself.
    const int c = next_.ch;
    const byteSet_t& stops = lineComment ? commentStops : special;
    if (c < 0 || c > 0xFF || (!raw_ && stops.is[c]) || room <= 0)
        return 0;
    // A plain character is one byte; so is each byte after it that reads as
    // itself. The last of them becomes the character last taken; the one
    // that stops the run is read as take() reads it: the pair needs no
    // classification, the character before it being plain.
    const std::string_view bytes = file_.bytes();
    const auto size = static_cast<std::int64_t>(bytes.size());
    const std::int64_t from = next_.start;
    const std::size_t limit = static_cast<std::size_t>(std::min<std::int64_t>(room, size - from));
    const char* run = bytes.data() + from;
    // The run is found first and then copied: the test of each byte and the
    // copy do not share one loop (a script is mostly plain characters).
    const int count = static_cast<int>(raw_           ? limit
                                       : lineComment ? firstOf<'\n', '\r', '\\', 0x1A>(run, limit, stops)
                                                     : firstOf<'/', '*', '\\', '\r', 0x1A>(run, limit, stops));
    // A line feed read from CR LF starts at its CR, which stops the run at
    // once: that character goes through take().
    if (count == 0)
        return 0;
    if (lineComment)
        std::memset(text, ' ', static_cast<std::size_t>(count));
    else
        std::memcpy(text, run, static_cast<std::size_t>(count));
    // Unrolled: the loop's own test, not the two stores, is what costs.
#pragma GCC unroll 8
    for (int i = 0; i < count; ++i) {
        starts[i] = from + i;
        ends[i] = from + i + 1;
    }
    const std::int64_t at = from + count;
    current_.ch = static_cast<unsigned char>(run[count - 1]);
    current_.start = at - 1;
    current_.end = at;
    file_.skip(at - file_.offset());
    readNext();
    return count;
}
