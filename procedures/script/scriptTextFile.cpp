#include "procedures/script/scriptTextFile.h"

#include "machine/longnameStream.h"

bool scriptTextFile_t::open(const std::wstring& path, bool text)
{
    close();
    longname_ifstream file;
    file.open(path, std::ios_base::in | std::ios_base::binary);
    if (!file.is_open())
        return false;
    auto* buffer = file.rdbuf();
    // Read at the size the file has now; one that grows meanwhile is read
    // to its end all the same.
    const auto size = static_cast<std::streamoff>(buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in));
    buffer->pubseekoff(0, std::ios_base::beg, std::ios_base::in);
    if (size > 0)
        owned_.reserve(static_cast<std::size_t>(size));
    char block[65536];
    for (;;) {
        std::streamsize count = buffer->sgetn(block, sizeof block);
        if (count <= 0)
            break;
        owned_.append(block, static_cast<std::size_t>(count));
    }
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
