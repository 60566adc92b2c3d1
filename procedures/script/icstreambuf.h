// The stream buffer the tokenizer reads a script through. In text mode it
// turns comments into blanks (block comments nest), swallows the CR of
// CR LF and the backslash and line feed of a line join, and re-emits each
// swallowed line feed right after the next delivered one, so every physical
// line still yields exactly one line feed. Binary scripts pass unchanged.
// Positions are byte offsets in the script.
//
// The cleaned characters are delivered a block at a time, each with the
// byte offsets where it starts and ends, so that reading a character costs
// no call. The character before the block stays in front of it, so one
// character can always be put back.
#pragma once
#include "procedures/script/batchSourceReader.h"
#include "procedures/script/noVptrCheck.h"

#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>

template <class E>
class icstreambuf_t;

template <>
class icstreambuf_t<char> final : public std::streambuf {
public:
    // Opens the file, runs the text test and delivers the first characters
    // into the get area at once.
    explicit icstreambuf_t(const std::wstring& path);
    // The same over bytes in memory, which must outlive the buffer; path
    // only names them.
    icstreambuf_t(const std::wstring& path, std::string_view bytes);
    ~icstreambuf_t() override = default;

    const batchSourceReader_t& reader() const { return reader_; }
    // The stream position (what tellg gives) without a virtual call: the
    // tokenizer asks for it at every token and line.
    QVR_NO_VPTR_CHECK std::int64_t position() const { return here(); }
    // The characters delivered and not yet taken, the next block when none
    // is left (empty at the end), and taking some of them: the tokenizer
    // scans runs of blanks, names, digits and text there, without a call per
    // character. A zero byte follows them (data()[size()] is 0), so a run
    // can be measured with strspn: it stops there as at any other character
    // outside the set, a zero byte of the script included.
    QVR_NO_VPTR_CHECK std::string_view available()
    {
        if (gptr() == egptr())
            underflow();
        return std::string_view(gptr(), static_cast<std::size_t>(egptr() - gptr()));
    }
    QVR_NO_VPTR_CHECK void advance(int count) { gbump(count); }

protected:
    QVR_NO_VPTR_CHECK int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;
    pos_type seekpos(pos_type position,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;

private:
    static constexpr int blockSize = 256;

    // The next cleaned character, or endOfInput; start and end receive its
    // byte offsets.
    QVR_NO_VPTR_CHECK int deliverOne(std::int64_t& start, std::int64_t& end);
    // The same for a character already taken from the reader.
    QVR_NO_VPTR_CHECK int clean(int c, std::int64_t& start, std::int64_t& end);
    // The offset of the next character the stream will deliver: after the
    // character last taken, or where the stream starts or was moved to.
    QVR_NO_VPTR_CHECK std::int64_t here() const;

    batchSourceReader_t reader_;
    int commentState_ = 0;   // 0 outside, 1 line comment, 2 block comment
    int blockDepth_ = 0;
    int pendingLineFeeds_ = 0;
    // The end offset of the character last delivered: a re-emitted line
    // feed takes no bytes and stands there.
    std::int64_t deliveredEnd_ = 0;
    // The position while no character is in the get area (at the start and
    // after a seek).
    std::int64_t origin_ = 0;
    // Written before they are read: not cleared, a new stream costs no
    // more than its script. The block ends with the zero byte that
    // available() promises.
    char area_[blockSize + 2];
    std::int64_t starts_[blockSize + 1];
    std::int64_t ends_[blockSize + 1];
};
