#include "procedures/script/icstream.h"

icstream_t::icstream_t(const std::wstring& path)
    : std::istream(nullptr), buffer_(path)
{
    attachBuffer();
}

icstream_t::icstream_t(const std::wstring& path, std::string_view bytes)
    : std::istream(nullptr), buffer_(path, bytes)
{
    attachBuffer();
}

void icstream_t::attachBuffer()
{
    rdbuf(&buffer_);
    if (traits_type::eq_int_type(buffer_.sgetc(), traits_type::eof()))
        setstate(std::ios_base::failbit);
}

icstream_t::~icstream_t()
{
    rdbuf(nullptr);
}
