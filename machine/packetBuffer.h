// packetBuffer_t: one packet to or from the machine. Byte 0 of a device
// packet is the command code (outgoing) or the packet type (incoming); the
// little-endian payload follows. On the packet queue a packet carries one
// leading length byte more: [length][code][payload].
//
// A device packet is at most 64 bytes and one is built, copied and queued
// for every command and reply, so up to inlineCapacity bytes are held in
// the object itself; only a larger capacity (a message of the machine link)
// takes memory of its own. Bytes past the length read as zero until written.
#pragma once
#include <cstdint>
#include <memory>

class packetBuffer_t {
public:
    static constexpr std::int32_t devicePacket = 0;  // command code or packet type first
    static constexpr std::int32_t requestMessage = 2;  // a finished message of the machine link

    // A capacity below 0 counts as 0.
    explicit packetBuffer_t(std::int32_t capacity = 64);
    packetBuffer_t(const packetBuffer_t& other);
    packetBuffer_t& operator=(const packetBuffer_t& other);
    packetBuffer_t(packetBuffer_t&& other) noexcept;
    packetBuffer_t& operator=(packetBuffer_t&& other) noexcept;
    ~packetBuffer_t() = default;

    static constexpr std::int32_t inlineCapacity = 64;

    // Appends refuse anything that would run past the capacity: the packet
    // stays as it was and the result is false (append returns the length).
    bool pushByte(std::uint32_t value);
    bool appendShort(std::uint32_t value);  // low 16 bits
    bool appendInt(std::uint32_t value);    // 32 bits
    std::int32_t append(const void* bytes, std::int32_t n);
    // Appends the other packet's bytes and takes over its kind.
    bool appendBuffer(const packetBuffer_t& other);
    void clear() { length_ = 0; }

    std::int32_t capacity() const { return capacity_; }
    std::int32_t length() const { return length_; }
    std::int32_t kind() const { return kind_; }
    void setKind(std::int32_t kind) { kind_ = kind; }
    const std::uint8_t* data() const { return bytes(); }

    // Bounded reads of the bytes in use: 0 for a field that does not lie
    // wholly inside the length, so a short packet never yields stale bytes.
    std::uint8_t u8(std::int32_t offset) const;
    std::uint16_t u16(std::int32_t offset) const;
    std::int16_t i16(std::int32_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    std::uint32_t u32(std::int32_t offset) const;
    std::int32_t i32(std::int32_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    // Whether bytes [offset, offset + n) lie inside the length.
    bool holds(std::int32_t offset, std::int32_t n) const;

    // Equal lengths, kinds and bytes in use; the capacity does not count.
    bool operator==(const packetBuffer_t& other) const;
    bool operator!=(const packetBuffer_t& other) const { return !(*this == other); }

private:
    std::uint8_t* bytes() { return large_ ? large_.get() : small_; }
    const std::uint8_t* bytes() const { return large_ ? large_.get() : small_; }
    // Takes over the other's bytes; the other is left empty, capacity 0.
    void takeFrom(packetBuffer_t& other) noexcept;
    // Length, kind and capacity of other, and its bytes when they are inline.
    void copyFields(const packetBuffer_t& other) noexcept;

    std::unique_ptr<std::uint8_t[]> large_;  // only above inlineCapacity
    std::uint8_t small_[inlineCapacity] = {};
    std::int32_t capacity_ = 0;
    std::int32_t length_ = 0;
    std::int32_t kind_ = devicePacket;
};
