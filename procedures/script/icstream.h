// The narrow input stream over one script file (see icstreambuf.h). Its fail
// bit is set when no character could be read at once: a missing, unreadable
// or empty file.
#pragma once
#include "procedures/script/icstreambuf.h"

#include <istream>
#include <memory>
#include <string>

class icstream_t : public std::istream {
public:
    explicit icstream_t(const std::wstring& path);
    ~icstream_t() override;
    icstream_t(const icstream_t&) = delete;
    icstream_t& operator=(const icstream_t&) = delete;

    icstreambuf_t<char>* buffer() const { return buffer_.get(); }

private:
    std::unique_ptr<icstreambuf_t<char>> buffer_;
};
