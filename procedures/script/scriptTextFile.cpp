#include "procedures/script/scriptTextFile.h"

#include "platform/fileHandle.h"

#include <cstdio>

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
