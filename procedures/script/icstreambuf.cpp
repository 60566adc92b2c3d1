#include "procedures/script/icstreambuf.h"

namespace {
constexpr int markerBits = batchSourceReader_t::commentStart | batchSourceReader_t::blockMark;
}

icstreambuf_t<char>::icstreambuf_t(const std::wstring& path) : reader_(path)
{
    setg(getArea_, getArea_ + 1, getArea_ + 1);
    underflow();
}

void icstreambuf_t<char>::deliver(char ch, std::int64_t start, std::int64_t end)
{
    getArea_[0] = ch;
    deliveredStart_ = start;
    deliveredEnd_ = end;
    setg(getArea_, getArea_, getArea_ + 1);
}

icstreambuf_t<char>::int_type icstreambuf_t<char>::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (pendingLineFeeds_ > 0) {
        --pendingLineFeeds_;
        deliver('\n', deliveredEnd_, deliveredEnd_);
        return traits_type::to_int_type('\n');
    }
    int c = reader_.take();
    if (c == batchSourceReader_t::endOfInput) {
        setg(getArea_, getArea_ + 1, getArea_ + 1);
        return traits_type::eof();
    }
    for (;;) {
        if (commentState_ == 2) {
            if (c != '\n')
                c = ' ' | (c & markerBits);
            if (c & batchSourceReader_t::blockMark) {
                if (c & batchSourceReader_t::commentStart)
                    ++blockDepth_;
                else if (blockDepth_ > 0)
                    --blockDepth_;
                if (blockDepth_ == 0)
                    commentState_ = 0;
            }
        } else if (commentState_ == 1) {
            if (c == '\n')
                commentState_ = 0;
            else
                c = ' ';
        } else if (c & batchSourceReader_t::commentStart) {
            if (c & batchSourceReader_t::blockMark) {
                ++blockDepth_;
                commentState_ = 2;
            } else {
                commentState_ = 1;
            }
            c = ' ';
        }
        if (!(c & batchSourceReader_t::swallowed))
            break;
        while (c & batchSourceReader_t::swallowed) {
            if ((c & 0xFF) == '\n')
                --pendingLineFeeds_;
            c = reader_.take();
            if (c == batchSourceReader_t::endOfInput) {
                setg(getArea_, getArea_ + 1, getArea_ + 1);
                return traits_type::eof();
            }
        }
        // The run ended on an ordinary character: it goes through the
        // comment state like any other.
    }
    deliver(static_cast<char>(c & 0xFF), reader_.currentStart(), reader_.currentEnd());
    if (pendingLineFeeds_ < 0 && c == '\n')
        pendingLineFeeds_ = -pendingLineFeeds_;
    return traits_type::to_int_type(getArea_[0]);
}

icstreambuf_t<char>::pos_type icstreambuf_t<char>::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                           std::ios_base::openmode)
{
    // The next character the stream will deliver: the one in the get area,
    // or the one after it once it has been taken.
    std::int64_t here = gptr() < egptr() ? deliveredStart_ : deliveredEnd_;
    if (direction == std::ios_base::cur && offset == 0)
        return pos_type(off_type(here));
    std::int64_t position = -1;
    if (direction == std::ios_base::cur)
        position = reader_.seek(here + offset, std::ios_base::beg);
    else
        position = reader_.seek(offset, direction);
    commentState_ = 0;
    blockDepth_ = 0;
    pendingLineFeeds_ = 0;
    setg(getArea_, getArea_ + 1, getArea_ + 1);
    deliveredStart_ = deliveredEnd_ = position < 0 ? 0 : position;
    return pos_type(off_type(position));
}

icstreambuf_t<char>::pos_type icstreambuf_t<char>::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}
