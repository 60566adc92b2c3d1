#include "machine/longnameStream.h"

#include "platform/codePage.h"

#include <cstdio>
#include <type_traits>

namespace {

constexpr std::size_t chunkSize = 4096;

// The open modes a file can have, with the run-time library's mode texts;
// any other combination does not open.
const char* modeText(std::ios_base::openmode mode)
{
    using std::ios_base;
    const ios_base::openmode in = ios_base::in, out = ios_base::out, trunc = ios_base::trunc,
                             app = ios_base::app, bin = ios_base::binary;
    struct entry_t {
        ios_base::openmode mode;
        const char* text;
    };
    static const entry_t table[] = {
        {in, "r"},
        {out, "w"},
        {out | trunc, "w"},
        {out | app, "a"},
        {in | bin, "rb"},
        {out | bin, "wb"},
        {out | trunc | bin, "wb"},
        {out | app | bin, "ab"},
        {in | out, "r+"},
        {in | out | trunc, "w+"},
        {in | out | app, "a+"},
        {in | out | bin, "r+b"},
        {in | out | trunc | bin, "w+b"},
        {in | out | app | bin, "a+b"},
    };
    mode &= ~ios_base::ate;
    for (const entry_t& entry : table)
        if (entry.mode == mode)
            return entry.text;
    return nullptr;
}

template <class E>
char toByte(E ch)
{
    if constexpr (std::is_same_v<E, wchar_t>)
        return wideCharToAnsi(ch);
    else
        return ch;
}

template <class E>
E fromByte(char byte)
{
    if constexpr (std::is_same_v<E, wchar_t>)
        return ansiCharToWide(static_cast<unsigned char>(byte));
    else
        return byte;
}

}  // namespace

template <class E>
basic_longname_filebuf<E>::basic_longname_filebuf() = default;

template <class E>
basic_longname_filebuf<E>::~basic_longname_filebuf()
{
    close();
}

template <class E>
basic_longname_filebuf<E>* basic_longname_filebuf<E>::open(const std::wstring& path, std::ios_base::openmode mode)
{
    if (file_.isOpen())
        return nullptr;
    const char* text = modeText(mode);
    if (text == nullptr || !file_.open(path, text))
        return nullptr;
    if ((mode & std::ios_base::ate) && file_.seek(0, SEEK_END) < 0) {
        file_.close();
        return nullptr;
    }
    canRead_ = (mode & std::ios_base::in) != 0;
    canWrite_ = (mode & std::ios_base::out) != 0;
    resetBuffers();
    getArea_.resize(chunkSize);
    bytes_.resize(chunkSize);
    if (!unbuffered_)
        putArea_.resize(chunkSize);
    return this;
}

template <class E>
basic_longname_filebuf<E>* basic_longname_filebuf<E>::open(const std::string& path, std::ios_base::openmode mode)
{
    return open(ansiToWide(path), mode);
}

template <class E>
basic_longname_filebuf<E>* basic_longname_filebuf<E>::open(const char* path, std::ios_base::openmode mode)
{
    return path == nullptr ? nullptr : open(std::string(path), mode);
}

template <class E>
basic_longname_filebuf<E>* basic_longname_filebuf<E>::close()
{
    if (!file_.isOpen())
        return nullptr;
    bool ok = writeOut();
    ok = file_.close() && ok;
    resetBuffers();
    canRead_ = false;
    canWrite_ = false;
    return ok ? this : nullptr;
}

template <class E>
void basic_longname_filebuf<E>::resetBuffers()
{
    this->setg(nullptr, nullptr, nullptr);
    this->setp(nullptr, nullptr);
    getStart_ = 0;
    knownIndex_ = 0;
    knownPosition_ = 0;
}

// Writes the put area out and leaves the buffer without one.
template <class E>
bool basic_longname_filebuf<E>::writeOut()
{
    if (this->pbase() == nullptr)
        return true;
    std::size_t count = static_cast<std::size_t>(this->pptr() - this->pbase());
    bool ok = true;
    if (count > 0) {
        if (bytes_.size() < count)
            bytes_.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            bytes_[i] = toByte(this->pbase()[i]);
        ok = file_.write(bytes_.data(), count);
    }
    this->setp(nullptr, nullptr);
    return ok;
}

// Before writing after reading, the file goes back to the character the
// reader stands at: what was read ahead is given up.
template <class E>
bool basic_longname_filebuf<E>::leaveReading()
{
    if (this->eback() == nullptr)
        return true;
    std::int64_t position = readPosition();
    this->setg(nullptr, nullptr, nullptr);
    return position >= 0 && file_.seek(position, SEEK_SET) >= 0;
}

// The byte offset of the next character to read. In text mode a newline
// stands for one or two bytes, so the offset is found by reading again from
// the last offset known, up to the reader's character.
template <class E>
std::int64_t basic_longname_filebuf<E>::readPosition()
{
    if (this->eback() == nullptr || this->gptr() == this->egptr())
        return file_.tell();
    std::ptrdiff_t index = this->gptr() - this->eback();
    if (!file_.isText())
        return getStart_ + index;
    if (index < knownIndex_) {
        knownIndex_ = 0;
        knownPosition_ = getStart_;
    }
    const std::int64_t end = file_.tell();
    if (end < 0 || file_.seek(knownPosition_, SEEK_SET) < 0)
        return -1;
    std::size_t wanted = static_cast<std::size_t>(index - knownIndex_);
    std::vector<char> scratch(wanted);
    std::size_t got = 0;
    while (got < wanted) {
        std::size_t n = file_.read(scratch.data() + got, wanted - got);
        if (n == 0)
            break;
        got += n;
    }
    const std::int64_t position = file_.tell();
    if (file_.seek(end, SEEK_SET) < 0 || got < wanted)
        return -1;
    knownIndex_ = index;
    knownPosition_ = position;
    return position;
}

// Reads the next chunk, starting at the file's current position.
template <class E>
bool basic_longname_filebuf<E>::fillFrom(std::int64_t position)
{
    std::size_t n = file_.read(bytes_.data(), chunkSize);
    if (n == 0)
        return false;
    E* area = getArea_.data();
    for (std::size_t i = 0; i < n; ++i)
        area[i] = fromByte<E>(bytes_[i]);
    this->setg(area, area, area + n);
    getStart_ = position;
    knownIndex_ = 0;
    knownPosition_ = position;
    return true;
}

template <class E>
typename basic_longname_filebuf<E>::int_type basic_longname_filebuf<E>::underflow()
{
    if (!file_.isOpen() || !canRead_)
        return traits_type::eof();
    if (this->gptr() < this->egptr())
        return traits_type::to_int_type(*this->gptr());
    if (this->pbase() != nullptr) {
        // From writing to reading: what was written goes out first.
        if (!writeOut() || file_.seek(file_.tell(), SEEK_SET) < 0)
            return traits_type::eof();
    }
    std::int64_t position = file_.tell();
    // At the end the area keeps what was read, so that it can be put back.
    if (position < 0 || !fillFrom(position))
        return traits_type::eof();
    return traits_type::to_int_type(*this->gptr());
}

template <class E>
typename basic_longname_filebuf<E>::int_type basic_longname_filebuf<E>::pbackfail(int_type ch)
{
    if (!file_.isOpen() || !canRead_)
        return traits_type::eof();
    if (this->eback() != nullptr && this->gptr() > this->eback()) {
        this->gbump(-1);
        if (!traits_type::eq_int_type(ch, traits_type::eof()) &&
            !traits_type::eq_int_type(ch, traits_type::to_int_type(*this->gptr())))
            *this->gptr() = traits_type::to_char_type(ch);
        return traits_type::not_eof(ch);
    }
    // Nothing before the reader in the area: step back one character in the
    // file (in text mode two bytes when they are CR LF).
    if (this->pbase() != nullptr && !writeOut())
        return traits_type::eof();
    std::int64_t position = readPosition();
    if (position <= 0)
        return traits_type::eof();
    std::int64_t previous = position - 1;
    if (file_.isText() && position >= 2 && file_.seek(position - 2, SEEK_SET) >= 0) {
        char byte = 0;
        if (file_.read(&byte, 1) == 1 && byte == '\n' && file_.tell() == position)
            previous = position - 2;
    }
    this->setg(nullptr, nullptr, nullptr);
    if (file_.seek(previous, SEEK_SET) < 0 || !fillFrom(previous))
        return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof()))
        *this->gptr() = traits_type::to_char_type(ch);
    return traits_type::not_eof(ch);
}

template <class E>
typename basic_longname_filebuf<E>::int_type basic_longname_filebuf<E>::overflow(int_type ch)
{
    if (!file_.isOpen() || !canWrite_)
        return traits_type::eof();
    if (!leaveReading() || !writeOut())
        return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    if (unbuffered_ || putArea_.empty()) {
        char byte = toByte(traits_type::to_char_type(ch));
        return file_.write(&byte, 1) ? ch : traits_type::eof();
    }
    this->setp(putArea_.data(), putArea_.data() + putArea_.size());
    *this->pptr() = traits_type::to_char_type(ch);
    this->pbump(1);
    return ch;
}

template <class E>
std::streamsize basic_longname_filebuf<E>::showmanyc()
{
    if (!file_.isOpen() || !canRead_)
        return -1;
    return 0;
}

template <class E>
typename basic_longname_filebuf<E>::pos_type basic_longname_filebuf<E>::seekoff(off_type offset,
                                                                               std::ios_base::seekdir direction,
                                                                               std::ios_base::openmode)
{
    const pos_type failed = pos_type(off_type(-1));
    if (!file_.isOpen() || !writeOut())
        return failed;
    std::int64_t here = -1;
    if (direction == std::ios_base::cur) {
        here = readPosition();
        if (here < 0)
            return failed;
        // Telling the position keeps what was read ahead.
        if (offset == 0)
            return pos_type(off_type(here));
    }
    this->setg(nullptr, nullptr, nullptr);
    std::int64_t result;
    if (direction == std::ios_base::cur)
        result = file_.seek(here + offset, SEEK_SET);
    else if (direction == std::ios_base::beg)
        result = file_.seek(offset, SEEK_SET);
    else
        result = file_.seek(offset, SEEK_END);
    return result < 0 ? failed : pos_type(off_type(result));
}

template <class E>
typename basic_longname_filebuf<E>::pos_type basic_longname_filebuf<E>::seekpos(pos_type position,
                                                                               std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

template <class E>
std::basic_streambuf<E>* basic_longname_filebuf<E>::setbuf(E* buffer, std::streamsize size)
{
    // setbuf(0, 0) makes output unbuffered, as the standard file buffer does;
    // other buffers are not taken.
    if (buffer == nullptr && size == 0) {
        writeOut();
        unbuffered_ = true;
        putArea_.clear();
    }
    return this;
}

template <class E>
int basic_longname_filebuf<E>::sync()
{
    if (!file_.isOpen())
        return 0;
    if (this->pbase() != nullptr) {
        bool ok = writeOut();
        return ok && file_.flush() ? 0 : -1;
    }
    if (canWrite_ && this->eback() == nullptr)
        return file_.flush() ? 0 : -1;
    return 0;
}

template <class E>
void basic_longname_filebuf<E>::imbue(const std::locale&)
{
    // The conversion is the system code page, fixed; a locale changes nothing.
}

template class basic_longname_filebuf<char>;
template class basic_longname_filebuf<wchar_t>;
