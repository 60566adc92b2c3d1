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
    lines_ = batchToken_t::lines_t{};
    nesting_ = 0;
    reset();
}

void batchTokenBuffer_t::reset()
{
    for (auto& slot : slots_)
        slot = batchToken_t(lines_);
    index_ = 2;
}

batchToken_t batchTokenBuffer_t::next()
{
    if (index_++ == 2) {
        slots_[0] = std::move(slots_[1]);
        slots_[1] = std::move(slots_[2]);
        slots_[2] = batchToken_t(lines_);
        if (in_ != nullptr)
            slots_[2].read(*in_, lines_);
        index_ = 2;
    }
    return slots_[index_];
}

void batchTokenBuffer_t::putBack()
{
    // The parser puts back at most two tokens in a row.
    if (index_ > 0)
        --index_;
}

void batchTokenBuffer_t::enterNesting()
{
    if (nesting_ >= maxNesting || batchStackGuard_t::nearLimit())
        throw std::runtime_error("nesting too deep");
    ++nesting_;
}
