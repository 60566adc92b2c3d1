// Reads one script file for the script stream buffer: the first two
// characters decide whether the file is text (cleaned for the tokenizer) or
// binary (handed over byte by byte). In text mode each character carries
// marker bits above its byte that tell the buffer where comments start and
// end and which characters a line join swallows.
#pragma once
#include "procedures/script/scriptTextFile.h"

#include <cstdint>
#include <string>

class batchSourceReader_t {
public:
    static constexpr int endOfInput = -1;
    static constexpr int commentStart = 0x100;  // first slash of // and of /*
    static constexpr int blockMark = 0x200;     // with commentStart: /*; alone: */
    static constexpr int swallowed = 0x400;     // never delivered

    explicit batchSourceReader_t(const std::wstring& path);
    batchSourceReader_t(const batchSourceReader_t&) = delete;
    batchSourceReader_t& operator=(const batchSourceReader_t&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    bool isRaw() const { return raw_; }
    const std::wstring& path() const { return path_; }

    // The next character with its markers, or endOfInput.
    int take();
    // Byte offsets in the file of the character last taken (its first byte
    // and the byte after it).
    std::int64_t currentStart() const { return current_.start; }
    std::int64_t currentEnd() const { return current_.end; }
    // Repositions the file and forgets both held characters; the new byte
    // offset, or -1.
    std::int64_t seek(std::int64_t offset, std::ios_base::seekdir direction);

private:
    struct held_t {
        int ch = endOfInput;
        std::int64_t start = 0;
        std::int64_t end = 0;
    };
    static bool isTextChar(int ch);
    void readNext();
    void classify();

    std::wstring path_;
    scriptTextFile_t file_;
    bool raw_ = false;
    held_t current_;
    held_t next_;
};
