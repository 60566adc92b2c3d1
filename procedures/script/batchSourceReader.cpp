#include "procedures/script/batchSourceReader.h"

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
