#include "procedures/script/icstreambuf.h"

namespace {
constexpr int markerBits = batchSourceReader_t::commentStart | batchSourceReader_t::blockMark;
}

icstreambuf_t<char>::icstreambuf_t(const std::wstring& path) : reader_(path)
{
    setg(area_, area_, area_);
    underflow();
}

icstreambuf_t<char>::icstreambuf_t(const std::wstring& path, std::string_view bytes) : reader_(path, bytes)
{
    setg(area_, area_, area_);
    underflow();
}

int icstreambuf_t<char>::deliverOne(std::int64_t& start, std::int64_t& end)
{
    if (pendingLineFeeds_ > 0) {
        --pendingLineFeeds_;
        start = end = deliveredEnd_;
        return '\n';
    }
    int c = reader_.take();
    if (c == batchSourceReader_t::endOfInput)
        return c;
    return clean(c, start, end);
}

int icstreambuf_t<char>::clean(int c, std::int64_t& start, std::int64_t& end)
{
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
            if (c == batchSourceReader_t::endOfInput)
                return c;
        }
        // The run ended on an ordinary character: it goes through the
        // comment state like any other.
    }
    start = reader_.currentStart();
    end = deliveredEnd_ = reader_.currentEnd();
    if (pendingLineFeeds_ < 0 && c == '\n')
        pendingLineFeeds_ = -pendingLineFeeds_;
    return c & 0xFF;
}

icstreambuf_t<char>::int_type icstreambuf_t<char>::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    // The character last taken moves to the front, for a put-back.
    int count = 0;
    if (egptr() > eback()) {
        auto last = egptr() - eback() - 1;
        area_[0] = area_[last];
        starts_[0] = starts_[last];
        ends_[0] = ends_[last];
        count = 1;
    }
    const int first = count;
    while (count <= blockSize) {
        // Most characters are plain and outside comments: they go straight
        // into the block.
        if (commentState_ == 0 && pendingLineFeeds_ == 0) {
            const int plain = reader_.takePlain(area_ + count, starts_ + count, ends_ + count, blockSize + 1 - count);
            if (plain > 0) {
                count += plain;
                deliveredEnd_ = ends_[count - 1];
                continue;
            }
            const int c = reader_.take();
            if (c >= 0 && c <= 0xFF) {
                area_[count] = static_cast<char>(c);
                starts_[count] = reader_.currentStart();
                ends_[count] = deliveredEnd_ = reader_.currentEnd();
                ++count;
                continue;
            }
            if (c == batchSourceReader_t::endOfInput)
                break;
            const int cleaned = clean(c, starts_[count], ends_[count]);
            if (cleaned == batchSourceReader_t::endOfInput)
                break;
            area_[count++] = static_cast<char>(cleaned);
            continue;
        }
        // The body of a line comment reads as blanks up to its end; a line
        // feed still owed (pending > 0) goes first.
        if (commentState_ == 1 && pendingLineFeeds_ <= 0) {
            const int blanks =
                reader_.takePlain(area_ + count, starts_ + count, ends_ + count, blockSize + 1 - count, true);
            if (blanks > 0) {
                count += blanks;
                deliveredEnd_ = ends_[count - 1];
                continue;
            }
        }
        const int c = deliverOne(starts_[count], ends_[count]);
        if (c == batchSourceReader_t::endOfInput)
            break;
        area_[count++] = static_cast<char>(c);
    }
    area_[count] = '\0';
    setg(area_, area_ + first, area_ + count);
    if (count == first)
        return traits_type::eof();
    return traits_type::to_int_type(area_[first]);
}

std::int64_t icstreambuf_t<char>::here() const
{
    auto index = gptr() - eback();
    if (index > 0)
        return ends_[index - 1];
    if (gptr() < egptr())
        return starts_[0];
    return origin_;
}

icstreambuf_t<char>::pos_type icstreambuf_t<char>::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                           std::ios_base::openmode)
{
    std::int64_t from = here();
    if (direction == std::ios_base::cur && offset == 0)
        return pos_type(off_type(from));
    std::int64_t position = -1;
    std::int64_t target = 0;
    if (direction == std::ios_base::cur)
        position = __builtin_add_overflow(from, offset, &target) ? -1 : reader_.seek(target, std::ios_base::beg);
    else
        position = reader_.seek(offset, direction);
    commentState_ = 0;
    blockDepth_ = 0;
    pendingLineFeeds_ = 0;
    setg(area_, area_, area_);
    origin_ = deliveredEnd_ = position < 0 ? 0 : position;
    return pos_type(off_type(position));
}

icstreambuf_t<char>::pos_type icstreambuf_t<char>::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}
