// A script's bytes read one character at a time, either raw or with the
// run-time library's text mode (CR LF reads as one LF, a byte 0x1A ends the
// text). The bytes are in memory: a file is read whole when it is opened (a
// script is small, and reading byte by byte through a file stream cost more
// than the whole parse), or a caller lends them. Text mode is applied here,
// so that the byte offset where each character starts and ends is known
// exactly: the tokenizer's positions and the error report's caret depend on
// it.
#pragma once
#include <cstdint>
#include <ios>
#include <string>
#include <string_view>

class scriptTextFile_t {
public:
    static constexpr int endOfInput = -1;

    scriptTextFile_t() = default;
    scriptTextFile_t(const scriptTextFile_t&) = delete;
    scriptTextFile_t& operator=(const scriptTextFile_t&) = delete;

    // Reads the whole file; false when it cannot be opened or read.
    bool open(const std::wstring& path, bool text);
    // Reads the caller's bytes, which must outlive this object (or the next
    // open or close).
    void openBytes(std::string_view bytes, bool text);
    void close();
    bool isOpen() const { return open_; }
    void setText(bool text) { text_ = text; }
    bool isText() const { return text_; }
    // Every byte, text mode not applied.
    std::string_view bytes() const { return bytes_; }

    // The next character (0..255) or endOfInput; start and end receive the
    // byte offsets of its first byte and of the byte after it.
    int get(std::int64_t& start, std::int64_t& end)
    {
        start = end = offset_;
        if (ended_ || offset_ >= size())
            return endOfInput;
        int byte = static_cast<unsigned char>(bytes_[static_cast<std::size_t>(offset_)]);
        ++offset_;
        if (text_) {
            if (byte == 0x1A) {
                ended_ = true;
                --offset_;
                return endOfInput;
            }
            if (byte == '\r' && offset_ < size() && bytes_[static_cast<std::size_t>(offset_)] == '\n') {
                ++offset_;
                byte = '\n';
            }
        }
        end = offset_;
        return byte;
    }
    // Reads to the end of the line, as get() would read it character by
    // character: text receives its characters (the first maxLength of them,
    // a zero byte as a blank) without the line feed. False when no character
    // was left; ended tells that the input ended before a line feed.
    bool getLine(std::string& text, std::size_t maxLength, bool& ended);
    // Moves to a byte offset (SEEK_SET, SEEK_CUR or SEEK_END semantics; past
    // the end is allowed and reads nothing); the new offset, or -1 when
    // nothing is open or the offset would be negative.
    std::int64_t seek(std::int64_t offset, std::ios_base::seekdir direction);
    std::int64_t offset() const { return offset_; }
    // Moves past bytes the caller has read from bytes() itself.
    void skip(std::int64_t count) { offset_ += count; }

private:
    std::int64_t size() const { return static_cast<std::int64_t>(bytes_.size()); }

    std::string owned_;          // a file's bytes
    std::string_view bytes_;     // what is read: owned_ or the caller's
    bool open_ = false;
    bool text_ = true;
    bool ended_ = false;         // a 0x1A ended the text
    std::int64_t offset_ = 0;    // byte offset of the next byte to read
};
