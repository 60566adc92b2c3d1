#include "procedures/script/batchTokenBuffer.h"

#include "procedures/script/batchStackGuard.h"

#include <stdexcept>

batchTokenBuffer_t::batchTokenBuffer_t()
{
    reset();
}

batchTokenBuffer_t& batchTokenBuffer_t::shared()
{
    static batchTokenBuffer_t buffer;
    return buffer;
}

void batchTokenBuffer_t::attach(std::istream* in)
{
    in_ = in;
    script_ = in == nullptr ? nullptr : dynamic_cast<icstreambuf_t<char>*>(in->rdbuf());
    lines_ = batchToken_t::lines_t{};
    nesting_ = 0;
    reset();
}

void batchTokenBuffer_t::reset()
{
    for (auto& each : slots_)
        each = batchToken_t(lines_);
    first_ = 0;
    index_ = 2;
}

const batchToken_t& batchTokenBuffer_t::readNext()
{
    first_ = first_ == 2 ? 0 : first_ + 1;
    batchToken_t& newest = slot(2);
    if (in_ != nullptr)
        newest.read(*in_, lines_, script_);
    else
        newest = batchToken_t(lines_);
    return newest;
}

void batchTokenBuffer_t::enterNesting()
{
    if (nesting_ >= maxNesting || batchStackGuard_t::nearLimit())
        throw std::runtime_error("nesting too deep");
    ++nesting_;
}
