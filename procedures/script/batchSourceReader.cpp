#include "procedures/script/batchSourceReader.h"

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
constexpr byteSet_t noBytes("");

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

int batchSourceReader_t::takePlain(char* text, std::int64_t* starts, std::int64_t* ends, int room)
{
    // The character that moves up must be plain, and not the very first,
    // which take() reads itself.
    if (current_.ch == endOfInput && next_.ch == endOfInput)
        return 0;
    // In raw mode nothing is classified and every byte stands for itself.
    const bool* stops = raw_ ? noBytes.is : special.is;
    const int c = next_.ch;
    if (c < 0 || c > 0xFF || stops[c] || room <= 0)
        return 0;
    // A plain character is one byte; so is each byte after it that reads as
    // itself. The last of them becomes the character last taken; the one
    // that stops the run is read as take() reads it: the pair needs no
    // classification, the character before it being plain.
    const std::string_view bytes = file_.bytes();
    const auto size = static_cast<std::int64_t>(bytes.size());
    std::int64_t at = next_.start;
    int count = 0;
    while (count < room && at < size) {
        const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(at)]);
        if (stops[byte])
            break;
        text[count] = static_cast<char>(byte);
        starts[count] = at;
        ends[count] = at + 1;
        ++count;
        ++at;
    }
    current_.ch = static_cast<unsigned char>(text[count - 1]);
    current_.start = at - 1;
    current_.end = at;
    file_.skip(at - file_.offset());
    readNext();
    return count;
}
