#include "link/archiveReader.h"

#include "link/archiveException.h"
#include "link/archiveFormat.h"
#include "platform/codePage.h"

#include <cstring>

using namespace archiveFormat;

namespace {

[[noreturn]] void fail(archiveCause_e cause) {
    throw archiveException_t(cause);
}

// Back-references are never written by our peers; a message may still use a
// few, but not to multiply itself into gigabytes.
constexpr std::size_t baseCopyBudget = 64 * 1024;
constexpr std::size_t copyBudgetPerByte = 16;

} // namespace

archiveReader_t::archiveReader_t(const uint8_t* bytes, std::size_t length)
    : bytes_(bytes), length_(bytes == nullptr ? 0 : length),
      copyBudget_(baseCopyBudget + copyBudgetPerByte * (bytes == nullptr ? 0 : length)) {
}

void archiveReader_t::need(std::size_t count) const {
    if (count > remaining())
        fail(archiveCause_e::endOfFile_e);
}

uint8_t archiveReader_t::readUint8() {
    need(1);
    return bytes_[position_++];
}

uint16_t archiveReader_t::readUint16() {
    need(2);
    const uint8_t* p = bytes_ + position_;
    position_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t archiveReader_t::readUint32() {
    need(4);
    const uint8_t* p = bytes_ + position_;
    position_ += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t archiveReader_t::readInt32() {
    return static_cast<int32_t>(readUint32());
}

double archiveReader_t::readDouble() {
    need(8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes_[position_ + static_cast<std::size_t>(i)];
    position_ += 8;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::size_t archiveReader_t::readRaw(void* buffer, std::size_t count) {
    const std::size_t n = count < remaining() ? count : remaining();
    if (n > 0) {
        std::memcpy(buffer, bytes_ + position_, n);
        position_ += n;
    }
    return n;
}

bool archiveReader_t::tryReadLength(bool& wide, uint64_t& length) {
    wide = false;
    const auto take8 = [this](uint64_t& value) {
        if (remaining() < 1)
            return false;
        value = bytes_[position_++];
        return true;
    };
    const auto take16 = [this](uint64_t& value) {
        if (remaining() < 2)
            return false;
        value = static_cast<uint64_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
        position_ += 2;
        return true;
    };
    if (!take8(length))
        return false;
    if (length != lengthEscape)
        return true;
    if (!take16(length))
        return false;
    if (length == wideMark) {
        wide = true;
        if (!take8(length))
            return false;
        if (length != lengthEscape)
            return true;
        if (!take16(length))
            return false;
    }
    if (length != longLengthEscape)
        return true;
    // 0xFFFFFFFF would announce an even longer length; no message holds
    // that many characters, so it fails below like any length past the end.
    if (remaining() < 4)
        return false;
    const uint8_t* p = bytes_ + position_;
    position_ += 4;
    length = static_cast<uint64_t>(p[0]) | (static_cast<uint64_t>(p[1]) << 8) | (static_cast<uint64_t>(p[2]) << 16) |
             (static_cast<uint64_t>(p[3]) << 24);
    return true;
}

std::wstring archiveReader_t::readString() {
    std::wstring text;
    const archiveCause_e cause = tryReadString(text);
    if (cause != archiveCause_e::none_e)
        fail(cause);
    return text;
}

archiveCause_e archiveReader_t::tryReadString(std::wstring& text) {
    bool wide = false;
    uint64_t length = 0;
    if (!tryReadLength(wide, length))
        return archiveCause_e::endOfFile_e;
    const std::size_t unit = wide ? 2 : 1;
    if (length > remaining() / unit)
        return archiveCause_e::endOfFile_e;
    const auto count = static_cast<std::size_t>(length);
    const uint8_t* p = bytes_ + position_;
    position_ += count * unit;
    if (!wide) {
        text = ansiToWide(std::string(reinterpret_cast<const char*>(p), count));
        return archiveCause_e::none_e;
    }
    // Decoded straight from the bytes, as utf16ToWide does: a high surrogate
    // followed by a low one is one character, any other unit stands alone.
    text.clear();
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t c = static_cast<uint32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            const uint32_t d = static_cast<uint32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (d >= 0xDC00 && d < 0xE000) {
                text.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00)));
                ++i;
                continue;
            }
        }
        text.push_back(static_cast<wchar_t>(c));
    }
    return archiveCause_e::none_e;
}

uint32_t archiveReader_t::readCount(std::size_t minElementSize) {
    const uint32_t count = readUint32();
    if (minElementSize > 0 && count > remaining() / minElementSize)
        fail(archiveCause_e::endOfFile_e);
    return count;
}

std::size_t archiveReader_t::addEntry(entry_t entry) {
    if (indexCount() >= maxMapCount)
        fail(archiveCause_e::badIndex_e);
    map_.push_back(std::move(entry));
    return map_.size();
}

archiveReader_t::objectHeader_t archiveReader_t::readObjectHeader(std::string_view expectedClass) {
    objectHeader_t header;
    const uint16_t tag = readUint16();
    uint32_t objectTag = 0;
    if (tag == bigObjectTag)
        objectTag = readUint32();
    else
        objectTag = (static_cast<uint32_t>(tag & classTag) << 16) | (tag & ~classTag & 0xFFFFu);

    if ((objectTag & bigClassTag) == 0) {
        // An object: 0 is none, anything else one seen before in this message.
        if (objectTag == 0)
            return header;
        if (objectTag >= indexCount() || at(objectTag).isClass || at(objectTag).object == nullptr)
            fail(archiveCause_e::badIndex_e);
        if (at(objectTag).className != expectedClass)
            fail(archiveCause_e::badClass_e);
        header.kind = objectHeader_t::reference_e;
        header.index = objectTag;
        return header;
    }

    std::size_t classIndex = 0;
    if (tag == newClassTag) {
        entry_t cls;
        cls.isClass = true;
        cls.schema = readUint16();
        const uint16_t nameLength = readUint16();
        if (nameLength > maxClassNameLength)
            fail(archiveCause_e::badClass_e);
        need(nameLength);
        cls.className.assign(reinterpret_cast<const char*>(bytes_ + position_), nameLength);
        position_ += nameLength;
        if (cls.className != expectedClass)
            fail(archiveCause_e::badClass_e);
        classIndex = addEntry(std::move(cls));
    } else {
        classIndex = objectTag & ~bigClassTag;
        if (classIndex == 0 || classIndex >= indexCount() || !at(classIndex).isClass)
            fail(archiveCause_e::badIndex_e);
        if (at(classIndex).className != expectedClass)
            fail(archiveCause_e::badClass_e);
    }

    entry_t object;
    object.className = at(classIndex).className;
    object.schema = at(classIndex).schema;
    header.kind = objectHeader_t::newObject_e;
    header.schema = at(classIndex).schema;
    header.index = addEntry(std::move(object));
    return header;
}

void archiveReader_t::keepObject(std::size_t index, std::shared_ptr<const void> object,
                                 std::type_index type) {
    if (index == 0 || index >= indexCount() || at(index).isClass)
        fail(archiveCause_e::badIndex_e);
    at(index).object = std::move(object);
    at(index).type = type;
}

const void* archiveReader_t::objectAt(std::size_t index, std::type_index type) const {
    if (index == 0 || index >= indexCount() || at(index).isClass || at(index).object == nullptr)
        fail(archiveCause_e::badIndex_e);
    if (at(index).type != type)
        fail(archiveCause_e::badClass_e);
    return at(index).object.get();
}

void archiveReader_t::chargeCopy(std::size_t bytes) {
    if (bytes > copyBudget_)
        fail(archiveCause_e::memory_e);
    copyBudget_ -= bytes;
}
