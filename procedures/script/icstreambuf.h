// The stream buffer the tokenizer reads a script through. In text mode it
// turns comments into blanks (block comments nest), swallows the CR of
// CR LF and the backslash and line feed of a line join, and re-emits each
// swallowed line feed right after the next delivered one, so every physical
// line still yields exactly one line feed. Binary files pass unchanged.
// Positions are byte offsets in the file.
#pragma once
#include "procedures/script/batchSourceReader.h"

#include <cstdint>
#include <streambuf>
#include <string>

template <class E>
class icstreambuf_t;

template <>
class icstreambuf_t<char> : public std::streambuf {
public:
    // Opens the file, runs the text test and delivers the first character
    // into the get area at once.
    explicit icstreambuf_t(const std::wstring& path);
    ~icstreambuf_t() override = default;

    const batchSourceReader_t& reader() const { return reader_; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;
    pos_type seekpos(pos_type position,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;

private:
    void deliver(char ch, std::int64_t start, std::int64_t end);

    batchSourceReader_t reader_;
    int commentState_ = 0;   // 0 outside, 1 line comment, 2 block comment
    int blockDepth_ = 0;
    int pendingLineFeeds_ = 0;
    char getArea_[1] = {0};
    // Byte offsets of the character in the get area and of the byte after it.
    std::int64_t deliveredStart_ = 0;
    std::int64_t deliveredEnd_ = 0;
};
