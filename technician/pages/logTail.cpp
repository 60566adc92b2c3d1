#include "technician/pages/logTail.h"

#include <algorithm>

logTail_t::result_e logTail_t::read(std::wistream& in)
{
    in.clear(in.rdstate() & ~std::ios_base::eofbit);
    if (in.fail())
        return failed_e;
    in.seekg(0, std::ios_base::end);
    const std::wistream::pos_type end = in.tellg();
    if (in.fail() || end < 0) {
        in.clear();
        return failed_e;
    }
    // Positions are byte offsets; each byte reads as at most one character,
    // so the tail taken from there holds at most tailCharacters of them.
    const std::int64_t length = static_cast<std::int64_t>(end);
    if (length == shownLength_)
        return unchanged_e;

    if (buffer_.empty())
        buffer_.resize(static_cast<std::size_t>(tailCharacters) + 1);
    const std::int64_t start = std::max<std::int64_t>(0, length - tailCharacters);
    in.seekg(start, std::ios_base::beg);
    if (in.fail()) {
        in.clear();
        return failed_e;
    }
    in.read(buffer_.data(), static_cast<std::streamsize>(tailCharacters));
    const std::streamsize got = in.gcount();
    if (in.bad() || (got == 0 && length > 0)) {
        in.clear();
        return failed_e;
    }
    // Reaching the end before the count (CR LF read as one character) is
    // the normal case; the next call clears it.
    in.clear(in.rdstate() & ~(std::ios_base::eofbit | std::ios_base::failbit));
    textLength_ = static_cast<std::size_t>(got);
    buffer_[textLength_] = L'\0';
    shownLength_ = length;
    return read_e;
}

std::wstring logTail_t::text() const
{
    if (buffer_.empty())
        return std::wstring();
    return std::wstring(buffer_.data(), textLength_);
}

int logTail_t::lineCount(const std::wstring& text)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), L'\n'));
}

int logTail_t::firstLineInSight(int lineCount, int linesThatFit)
{
    const int shown = std::clamp(linesThatFit, 1, linesInSight);
    return std::max(0, lineCount - shown);
}
