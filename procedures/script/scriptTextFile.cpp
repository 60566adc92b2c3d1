#include "procedures/script/scriptTextFile.h"

bool scriptTextFile_t::open(const std::wstring& path, bool text)
{
    close();
    text_ = text;
    file_.open(path, std::ios_base::in | std::ios_base::binary);
    return file_.is_open();
}

void scriptTextFile_t::close()
{
    if (file_.is_open())
        file_.close();
    file_.clear();
    ended_ = false;
    offset_ = 0;
}

int scriptTextFile_t::get(std::int64_t& start, std::int64_t& end)
{
    start = end = offset_;
    if (!file_.is_open() || ended_)
        return endOfInput;
    auto* buffer = file_.rdbuf();
    int byte = buffer->sbumpc();
    if (byte == std::char_traits<char>::eof())
        return endOfInput;
    byte &= 0xFF;
    ++offset_;
    if (text_) {
        if (byte == 0x1A) {
            ended_ = true;
            end = start;
            --offset_;
            return endOfInput;
        }
        if (byte == '\r' && buffer->sgetc() == '\n') {
            buffer->sbumpc();
            ++offset_;
        }
        if (byte == '\r' && offset_ - start == 2)
            byte = '\n';
    }
    end = offset_;
    return byte;
}

std::int64_t scriptTextFile_t::seek(std::int64_t offset, std::ios_base::seekdir direction)
{
    if (!file_.is_open())
        return -1;
    ended_ = false;
    auto result = file_.rdbuf()->pubseekoff(offset, direction, std::ios_base::in);
    std::int64_t position = static_cast<std::streamoff>(result);
    if (position < 0)
        return -1;
    offset_ = position;
    return position;
}
