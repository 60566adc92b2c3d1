#include "procedures/script/batchSourceReader.h"

batchSourceReader_t::batchSourceReader_t(const std::wstring& path) : path_(path)
{
    if (!file_.open(path, true))
        return;
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

void batchSourceReader_t::readNext()
{
    next_.ch = file_.get(next_.start, next_.end);
}

int batchSourceReader_t::take()
{
    if (current_.ch == endOfInput && next_.ch == endOfInput)
        readNext();
    current_ = next_;
    if (current_.ch == endOfInput) {
        next_.ch = endOfInput;
        next_.start = next_.end = current_.end;
    } else {
        readNext();
    }
    if (!raw_)
        classify();
    return current_.ch;
}

// Each test compares plain characters, so a character that already carries a
// marker never matches again: the slash of */ cannot also open a // comment.
void batchSourceReader_t::classify()
{
    int& c = current_.ch;
    int& n = next_.ch;
    if (c == '/' && n == '/')
        c |= commentStart;
    else if (c == '/' && n == '*')
        c |= commentStart | blockMark;
    else if (c == '*' && n == '/')
        n |= blockMark;
    else if (c == '\r' && n == '\n')
        c |= swallowed;
    else if (c == '\r')
        c = '\n';
    else if (c == '\\' && n == '\n') {
        c |= swallowed;
        n |= swallowed;
    }
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
