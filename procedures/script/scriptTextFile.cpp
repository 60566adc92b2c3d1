#include "procedures/script/scriptTextFile.h"

#include "platform/fileHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

bool scriptTextFile_t::open(const std::wstring& path, bool text)
{
    close();
    fileHandle_t file;
    if (!file.open(path, "rb"))
        return false;
    // Read at the size the file has now; a file that grows meanwhile is
    // read to its end all the same.
    const std::int64_t size = file.seek(0, SEEK_END);
    file.seek(0, SEEK_SET);
    owned_.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    std::size_t filled = 0;
    while (filled < owned_.size()) {
        std::size_t count = file.read(owned_.data() + filled, owned_.size() - filled);
        if (count == 0)
            break;
        filled += count;
    }
    owned_.resize(filled);
    char more[4096];
    for (std::size_t count; (count = file.read(more, sizeof more)) > 0;)
        owned_.append(more, count);
    bytes_ = owned_;
    open_ = true;
    text_ = text;
    return true;
}

void scriptTextFile_t::openBytes(std::string_view bytes, bool text)
{
    close();
    bytes_ = bytes;
    open_ = true;
    text_ = text;
}

void scriptTextFile_t::close()
{
    owned_.clear();
    owned_.shrink_to_fit();
    bytes_ = std::string_view();
    open_ = false;
    ended_ = false;
    offset_ = 0;
}

std::int64_t scriptTextFile_t::seek(std::int64_t offset, std::ios_base::seekdir direction)
{
    if (!open_)
        return -1;
    std::int64_t base = 0;
    if (direction == std::ios_base::cur)
        base = offset_;
    else if (direction == std::ios_base::end)
        base = size();
    std::int64_t position = 0;
    if (__builtin_add_overflow(base, offset, &position) || position < 0)
        return -1;
    ended_ = false;
    offset_ = position;
    return position;
}

bool scriptTextFile_t::getLine(std::string& text, std::size_t maxLength, bool& ended)
{
    text.clear();
    ended = false;
    if (ended_ || offset_ >= size()) {
        ended = true;
        return false;
    }
    const char* data = bytes_.data();
    const auto from = static_cast<std::size_t>(offset_);
    const std::size_t total = bytes_.size();
    const void* lineFeed = std::memchr(data + from, '\n', total - from);
    std::size_t stop = lineFeed == nullptr ? total : static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data);
    if (text_) {
        // A 0x1A ends the text, on this line too.
        if (const void* end = std::memchr(data + from, 0x1A, stop - from)) {
            stop = static_cast<std::size_t>(static_cast<const char*>(end) - data);
            ended_ = true;
            ended = true;
        }
    }
    if (!ended && lineFeed == nullptr)
        ended = true;
    // A CR right before the line feed belongs to it.
    std::size_t shown = stop;
    if (text_ && !ended && shown > from && data[shown - 1] == '\r')
        --shown;
    text.assign(data + from, std::min(shown - from, maxLength));
    // Zero bytes are rare: each is found by memchr rather than testing
    // every character.
    char* const end = text.data() + text.size();
    for (char* zero = text.data();; ++zero) {
        zero = static_cast<char*>(std::memchr(zero, 0, static_cast<std::size_t>(end - zero)));
        if (zero == nullptr)
            break;
        *zero = ' ';
    }
    const bool any = stop > from || !ended;
    offset_ = static_cast<std::int64_t>(ended ? stop : stop + 1);
    return any;
}
