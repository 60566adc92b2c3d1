// A script file read byte by byte, either raw or with the run-time library's
// text mode (CR LF reads as one LF, a byte 0x1A ends the text). The file is
// opened in binary and the text mode is applied here, so that the byte
// offset where each character starts and ends in the file is known exactly:
// the tokenizer's positions and the error report's caret depend on it.
#pragma once
#include "machine/longnameStream.h"

#include <cstdint>
#include <string>

class scriptTextFile_t {
public:
    static constexpr int endOfInput = -1;

    scriptTextFile_t() = default;
    scriptTextFile_t(const scriptTextFile_t&) = delete;
    scriptTextFile_t& operator=(const scriptTextFile_t&) = delete;

    // False when the file cannot be opened.
    bool open(const std::wstring& path, bool text);
    void close();
    bool isOpen() const { return file_.is_open(); }
    void setText(bool text) { text_ = text; }
    bool isText() const { return text_; }

    // The next character (0..255) or endOfInput; start and end receive the
    // byte offsets of its first byte and of the byte after it.
    int get(std::int64_t& start, std::int64_t& end);
    // Moves to a byte offset (SEEK_SET, SEEK_CUR or SEEK_END semantics);
    // the new offset, or -1 when the file refuses.
    std::int64_t seek(std::int64_t offset, std::ios_base::seekdir direction);
    std::int64_t offset() const { return offset_; }

private:
    longname_ifstream file_;
    bool text_ = true;
    bool ended_ = false;         // a 0x1A ended the text
    std::int64_t offset_ = 0;    // byte offset of the next byte to read
};
