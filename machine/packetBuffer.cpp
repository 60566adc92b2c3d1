#include "machine/packetBuffer.h"
#include "machine/littleEndian.h"
#include <algorithm>
#include <cstring>
#include <utility>

packetBuffer_t::packetBuffer_t(std::int32_t capacity) : data_(static_cast<std::size_t>(std::max(capacity, 0)), 0) {}

packetBuffer_t::packetBuffer_t(const packetBuffer_t& other)
    : data_(other.data_.size(), 0), length_(other.length_), kind_(other.kind_)
{
    std::copy_n(other.data_.begin(), other.length_, data_.begin());
}

packetBuffer_t& packetBuffer_t::operator=(const packetBuffer_t& other)
{
    if (this != &other) {
        packetBuffer_t copy(other);
        *this = std::move(copy);
    }
    return *this;
}

packetBuffer_t::packetBuffer_t(packetBuffer_t&& other) noexcept
    : data_(std::move(other.data_)), length_(other.length_), kind_(other.kind_)
{
    other.length_ = 0;
}

packetBuffer_t& packetBuffer_t::operator=(packetBuffer_t&& other) noexcept
{
    if (this != &other) {
        data_ = std::move(other.data_);
        length_ = other.length_;
        kind_ = other.kind_;
        other.length_ = 0;
    }
    return *this;
}

bool packetBuffer_t::pushByte(std::uint32_t value)
{
    if (length_ + 1 > capacity())
        return false;
    data_[static_cast<std::size_t>(length_++)] = static_cast<std::uint8_t>(value);
    return true;
}

bool packetBuffer_t::appendShort(std::uint32_t value)
{
    if (length_ + 2 > capacity())
        return false;
    le::putU16(&data_[static_cast<std::size_t>(length_)], value);
    length_ += 2;
    return true;
}

bool packetBuffer_t::appendInt(std::uint32_t value)
{
    if (length_ + 4 > capacity())
        return false;
    le::putU32(&data_[static_cast<std::size_t>(length_)], value);
    length_ += 4;
    return true;
}

std::int32_t packetBuffer_t::append(const void* bytes, std::int32_t n)
{
    if (n <= 0 || bytes == nullptr || n > capacity() - length_)
        return length_;
    std::memcpy(&data_[static_cast<std::size_t>(length_)], bytes, static_cast<std::size_t>(n));
    length_ += n;
    return length_;
}

bool packetBuffer_t::appendBuffer(const packetBuffer_t& other)
{
    if (other.length_ > capacity() - length_)
        return false;
    if (other.length_ > 0)
        std::memmove(&data_[static_cast<std::size_t>(length_)], other.data_.data(),
                     static_cast<std::size_t>(other.length_));
    length_ += other.length_;
    kind_ = other.kind_;
    return true;
}

bool packetBuffer_t::holds(std::int32_t offset, std::int32_t n) const
{
    return offset >= 0 && n >= 0 && offset <= length_ && n <= length_ - offset;
}

std::uint8_t packetBuffer_t::u8(std::int32_t offset) const
{
    return holds(offset, 1) ? data_[static_cast<std::size_t>(offset)] : 0;
}

std::uint16_t packetBuffer_t::u16(std::int32_t offset) const
{
    return holds(offset, 2) ? le::getU16(&data_[static_cast<std::size_t>(offset)]) : 0;
}

std::uint32_t packetBuffer_t::u32(std::int32_t offset) const
{
    return holds(offset, 4) ? le::getU32(&data_[static_cast<std::size_t>(offset)]) : 0;
}

bool packetBuffer_t::operator==(const packetBuffer_t& other) const
{
    return length_ == other.length_ && kind_ == other.kind_ &&
           std::equal(data_.begin(), data_.begin() + length_, other.data_.begin());
}
