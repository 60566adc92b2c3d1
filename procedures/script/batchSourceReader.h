// Reads one script for the script stream buffer: the first two characters
// decide whether the script is text (cleaned for the tokenizer) or binary
// (handed over byte by byte). In text mode each character carries marker
// bits above its byte that tell the buffer where comments start and end and
// which characters a line join swallows. The script is a file, read whole
// when the reader is built, or bytes in memory that the caller lends.
#pragma once
#include "procedures/script/scriptTextFile.h"

#include <cstdint>
#include <string>
#include <string_view>

class batchSourceReader_t {
public:
    static constexpr int endOfInput = -1;
    static constexpr int commentStart = 0x100;  // first slash of // and of /*
    static constexpr int blockMark = 0x200;     // with commentStart: /*; alone: */
    static constexpr int swallowed = 0x400;     // never delivered

    explicit batchSourceReader_t(const std::wstring& path);
    // The bytes must outlive the reader; path only names them.
    batchSourceReader_t(const std::wstring& path, std::string_view bytes);
    batchSourceReader_t(const batchSourceReader_t&) = delete;
    batchSourceReader_t& operator=(const batchSourceReader_t&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    bool isRaw() const { return raw_; }
    const std::wstring& path() const { return path_; }

    // The next character with its markers, or endOfInput.
    int take()
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
    // Takes, as take() would, the characters that need no cleaning, up to
    // room of them: their bytes go to text, their offsets to starts and
    // ends. Such a character cannot start or end a comment or a line join,
    // nor be a CR, so it stands for its own byte. The count taken; 0 when
    // the next character needs take().
    // Inside a line comment (lineComment), where '/' and '*' start and end
    // nothing, the characters up to the next line feed, CR, backslash or end
    // of the text are taken, and go to text as the blanks they read as.
    int takePlain(char* text, std::int64_t* starts, std::int64_t* ends, int room, bool lineComment = false);
    // Byte offsets of the character last taken (its first byte and the
    // byte after it).
    std::int64_t currentStart() const { return current_.start; }
    std::int64_t currentEnd() const { return current_.end; }
    // Repositions and forgets both held characters; the new byte offset, or
    // -1.
    std::int64_t seek(std::int64_t offset, std::ios_base::seekdir direction);

private:
    struct held_t {
        int ch = endOfInput;
        std::int64_t start = 0;
        std::int64_t end = 0;
    };
    static bool isTextChar(int ch);
    void chooseMode();
    void readNext() { next_.ch = file_.get(next_.start, next_.end); }

    // Each test compares plain characters, so a character that already
    // carries a marker never matches again: the slash of */ cannot also open
    // a // comment.
    void classify()
    {
        int& c = current_.ch;
        int& n = next_.ch;
        switch (c) {
        case '/':
            if (n == '/')
                c |= commentStart;
            else if (n == '*')
                c |= commentStart | blockMark;
            break;
        case '*':
            if (n == '/')
                n |= blockMark;
            break;
        case '\r':
            if (n == '\n')
                c |= swallowed;
            else
                c = '\n';
            break;
        case '\\':
            if (n == '\n') {
                c |= swallowed;
                n |= swallowed;
            }
            break;
        default:
            break;
        }
    }

    std::wstring path_;
    scriptTextFile_t file_;
    bool raw_ = false;
    held_t current_;
    held_t next_;
};
