// The narrow input stream over one script (see icstreambuf.h), a file or
// bytes in memory. Its fail bit is set when no character could be read at
// once: a missing, unreadable or empty script.
#pragma once
#include "procedures/script/icstreambuf.h"

#include <istream>
#include <string>
#include <string_view>

class icstream_t : public std::istream {
public:
    explicit icstream_t(const std::wstring& path);
    // The bytes must outlive the stream; path only names them.
    icstream_t(const std::wstring& path, std::string_view bytes);
    ~icstream_t() override;
    icstream_t(const icstream_t&) = delete;
    icstream_t& operator=(const icstream_t&) = delete;

    icstreambuf_t<char>* buffer() { return &buffer_; }

private:
    void attachBuffer();

    // Held in place: a stream over a script in memory allocates nothing
    // for its buffer.
    icstreambuf_t<char> buffer_;
};
