#include "machine/packetBuffer.h"
#include "machine/littleEndian.h"
#include <algorithm>
#include <cstring>
#include <utility>

packetBuffer_t::packetBuffer_t(std::int32_t capacity) : capacity_(std::max(capacity, 0))
{
    if (capacity_ > inlineCapacity)
        large_ = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(capacity_));
}

packetBuffer_t::packetBuffer_t(const packetBuffer_t& other) : packetBuffer_t(other.capacity_)
{
    length_ = other.length_;
    kind_ = other.kind_;
    std::memcpy(bytes(), other.bytes(), static_cast<std::size_t>(length_));
}

packetBuffer_t& packetBuffer_t::operator=(const packetBuffer_t& other)
{
    if (this == &other)
        return *this;
    if (other.capacity_ > inlineCapacity) {
        packetBuffer_t copy(other);
        return *this = std::move(copy);
    }
    // A device packet: copied in place, no memory taken or given back.
    large_.reset();
    copyFields(other);
    return *this;
}

void packetBuffer_t::copyFields(const packetBuffer_t& other) noexcept
{
    // Bytes past the length stay zero: whatever this buffer held before is
    // cleared over the whole inline store.
    if (!large_) {
        std::memcpy(small_, other.small_, static_cast<std::size_t>(other.length_));
        std::memset(small_ + other.length_, 0, static_cast<std::size_t>(inlineCapacity - other.length_));
    }
    capacity_ = other.capacity_;
    length_ = other.length_;
    kind_ = other.kind_;
}

void packetBuffer_t::takeFrom(packetBuffer_t& other) noexcept
{
    large_ = std::move(other.large_);
    copyFields(other);
    other.capacity_ = 0;
    other.length_ = 0;
}

packetBuffer_t::packetBuffer_t(packetBuffer_t&& other) noexcept { takeFrom(other); }

packetBuffer_t& packetBuffer_t::operator=(packetBuffer_t&& other) noexcept
{
    if (this != &other)
        takeFrom(other);
    return *this;
}

bool packetBuffer_t::pushByte(std::uint32_t value)
{
    if (length_ + 1 > capacity())
        return false;
    bytes()[length_++] = static_cast<std::uint8_t>(value);
    return true;
}

bool packetBuffer_t::appendShort(std::uint32_t value)
{
    if (length_ + 2 > capacity())
        return false;
    le::putU16(bytes() + length_, value);
    length_ += 2;
    return true;
}

bool packetBuffer_t::appendInt(std::uint32_t value)
{
    if (length_ + 4 > capacity())
        return false;
    le::putU32(bytes() + length_, value);
    length_ += 4;
    return true;
}

std::int32_t packetBuffer_t::append(const void* source, std::int32_t n)
{
    if (n <= 0 || source == nullptr || n > capacity() - length_)
        return length_;
    std::memcpy(bytes() + length_, source, static_cast<std::size_t>(n));
    length_ += n;
    return length_;
}

bool packetBuffer_t::appendBuffer(const packetBuffer_t& other)
{
    if (other.length_ > capacity() - length_)
        return false;
    if (other.length_ > 0)
        std::memmove(bytes() + length_, other.bytes(), static_cast<std::size_t>(other.length_));
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
    return holds(offset, 1) ? bytes()[offset] : 0;
}

std::uint16_t packetBuffer_t::u16(std::int32_t offset) const
{
    return holds(offset, 2) ? le::getU16(bytes() + offset) : 0;
}

std::uint32_t packetBuffer_t::u32(std::int32_t offset) const
{
    return holds(offset, 4) ? le::getU32(bytes() + offset) : 0;
}

bool packetBuffer_t::operator==(const packetBuffer_t& other) const
{
    return length_ == other.length_ && kind_ == other.kind_ &&
           std::memcmp(bytes(), other.bytes(), static_cast<std::size_t>(length_)) == 0;
}
