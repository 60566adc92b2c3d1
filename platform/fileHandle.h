// An open file on a system path with the run-time library's text mode:
// without 'b' in the mode, LF is written as CR LF, CR LF reads as LF and a
// byte 0x1A ends reading. Positions are byte offsets in the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class fileHandle_t {
public:
    fileHandle_t() = default;
    ~fileHandle_t();
    fileHandle_t(const fileHandle_t&) = delete;
    fileHandle_t& operator=(const fileHandle_t&) = delete;

    // mode: "r", "w", "a", "r+", "w+", "a+", each with an optional "b" or
    // "t" (text is the default). False on failure (last error set).
    bool open(const std::wstring& systemPath, const std::string& mode);
    bool isOpen() const { return fd_ >= 0; }
    bool isText() const { return text_; }
    // False when closing (flushing) failed.
    bool close();

    // Reads up to n bytes after text translation; 0 at the end.
    std::size_t read(char* buffer, std::size_t n);
    // Writes n bytes (translated in text mode); false on any failure.
    bool write(const char* data, std::size_t n);
    bool flush();
    // whence: SEEK_SET, SEEK_CUR, SEEK_END; the new byte offset, or -1.
    std::int64_t seek(std::int64_t offset, int whence);
    std::int64_t tell();
    bool atEnd() const { return eof_; }
    bool hadError() const { return error_; }

private:
    bool fillBuffer();
    int fd_ = -1;
    bool text_ = true;
    bool append_ = false;
    bool readable_ = false;
    bool writable_ = false;
    bool eof_ = false;
    bool error_ = false;
    // Bytes read ahead. The file descriptor's own offset is always
    // rawStart_ + raw_.size(); the stream's position is rawStart_ + rawPos_.
    std::string raw_;
    std::size_t rawPos_ = 0;
    std::int64_t rawStart_ = 0;  // file offset of raw_[0]
    bool dropReadAhead();
};
