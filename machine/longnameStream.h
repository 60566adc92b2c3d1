// File streams that open a file by its wide system path (the standard ones
// take only narrow Linux paths). They read and write through the platform's
// file handle, so a file opened without 'binary' gets the run-time library's
// text mode: LF is written as CR LF, CR LF reads as LF and a byte 0x1A ends
// reading. Positions (tellg, seekg, tellp, seekp) are byte offsets in the
// file, in text mode too. A wchar_t stream turns each character into one
// byte of the system code page and back, whatever the locale is.
#pragma once
#include "platform/fileHandle.h"

#include <cstdint>
#include <istream>
#include <locale>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

template <class E>
class basic_longname_filebuf : public std::basic_streambuf<E> {
public:
    using char_type = E;
    using traits_type = std::char_traits<E>;
    using int_type = typename traits_type::int_type;
    using pos_type = typename traits_type::pos_type;
    using off_type = typename traits_type::off_type;

    basic_longname_filebuf();
    ~basic_longname_filebuf() override;
    basic_longname_filebuf(const basic_longname_filebuf&) = delete;
    basic_longname_filebuf& operator=(const basic_longname_filebuf&) = delete;

    // Fails (null) when a file is open already, when the mode without 'ate'
    // is not one of in, out, out|trunc, out|app, in|out, in|out|trunc,
    // in|out|app (each also with binary), or when the file cannot be opened.
    // With 'ate' the position moves to the end of the file.
    basic_longname_filebuf* open(const std::wstring& path, std::ios_base::openmode mode);
    // A narrow path is a system text in the system code page.
    basic_longname_filebuf* open(const std::string& path, std::ios_base::openmode mode);
    basic_longname_filebuf* open(const char* path, std::ios_base::openmode mode);
    // Null when no file is open or writing out or closing failed.
    basic_longname_filebuf* close();
    bool is_open() const { return file_.isOpen(); }

protected:
    int_type overflow(int_type ch = traits_type::eof()) override;
    int_type pbackfail(int_type ch = traits_type::eof()) override;
    std::streamsize showmanyc() override;
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;
    pos_type seekpos(pos_type position,
                     std::ios_base::openmode which = std::ios_base::in | std::ios_base::out) override;
    std::basic_streambuf<E>* setbuf(E* buffer, std::streamsize size) override;
    int sync() override;
    void imbue(const std::locale& locale) override;

private:
    bool writeOut();
    bool leaveReading();
    bool fillFrom(std::int64_t position);
    std::int64_t readPosition();
    void resetBuffers();

    fileHandle_t file_;
    bool canRead_ = false;
    bool canWrite_ = false;
    bool unbuffered_ = false;
    std::vector<E> getArea_;
    std::vector<E> putArea_;
    std::vector<char> bytes_;
    // The byte offset of the first character of the get area, and the
    // furthest character whose byte offset is known (text mode: a newline
    // may have been one byte or two).
    std::int64_t getStart_ = 0;
    std::ptrdiff_t knownIndex_ = 0;
    std::int64_t knownPosition_ = 0;
};

// What the input and output streams share: the buffer they own, and opening
// and closing by wide or narrow path with their own mode bit always added.
template <class E, class Stream, std::ios_base::openmode Always>
class basic_longname_stream : public Stream {
public:
    basic_longname_stream() : Stream(nullptr) { this->init(&buffer_); }

    void open(const std::wstring& path, std::ios_base::openmode mode = Always) { opened(buffer_.open(path, mode | Always)); }
    void open(const std::string& path, std::ios_base::openmode mode = Always) { opened(buffer_.open(path, mode | Always)); }
    void close()
    {
        if (buffer_.close() == nullptr)
            this->setstate(std::ios_base::failbit);
    }
    bool is_open() const { return buffer_.is_open(); }
    basic_longname_filebuf<E>* rdbuf() const { return const_cast<basic_longname_filebuf<E>*>(&buffer_); }

private:
    void opened(const basic_longname_filebuf<E>* result)
    {
        if (result == nullptr)
            this->setstate(std::ios_base::failbit);
        else
            this->clear();
    }
    basic_longname_filebuf<E> buffer_;
};

template <class E>
class basic_longname_ifstream : public basic_longname_stream<E, std::basic_istream<E>, std::ios_base::in> {
public:
    basic_longname_ifstream() = default;
    explicit basic_longname_ifstream(const std::wstring& path, std::ios_base::openmode mode = std::ios_base::in)
    {
        this->open(path, mode);
    }
    explicit basic_longname_ifstream(const std::string& path, std::ios_base::openmode mode = std::ios_base::in)
    {
        this->open(path, mode);
    }
    explicit basic_longname_ifstream(const char* path, std::ios_base::openmode mode = std::ios_base::in)
    {
        this->open(std::string(path), mode);
    }
};

template <class E>
class basic_longname_ofstream : public basic_longname_stream<E, std::basic_ostream<E>, std::ios_base::out> {
public:
    basic_longname_ofstream() = default;
    explicit basic_longname_ofstream(const std::wstring& path, std::ios_base::openmode mode = std::ios_base::out)
    {
        this->open(path, mode);
    }
    explicit basic_longname_ofstream(const std::string& path, std::ios_base::openmode mode = std::ios_base::out)
    {
        this->open(path, mode);
    }
    explicit basic_longname_ofstream(const char* path, std::ios_base::openmode mode = std::ios_base::out)
    {
        this->open(std::string(path), mode);
    }
};

extern template class basic_longname_filebuf<char>;
extern template class basic_longname_filebuf<wchar_t>;

using longname_filebuf = basic_longname_filebuf<char>;
using wlongname_filebuf = basic_longname_filebuf<wchar_t>;
using longname_ifstream = basic_longname_ifstream<char>;
using wlongname_ifstream = basic_longname_ifstream<wchar_t>;
using longname_ofstream = basic_longname_ofstream<char>;
using wlongname_ofstream = basic_longname_ofstream<wchar_t>;
