#include "link/archiveWriter.h"

#include "link/archiveException.h"
#include "link/archiveFormat.h"
#include "platform/codePage.h"

#include <cstring>
#include <utility>

using namespace archiveFormat;

archiveWriter_t::archiveWriter_t() {
    // A request or a status reply takes well under this; the rare long
    // message (a queue, the parameter memory) grows the buffer. A larger
    // first step costs every message its memory.
    bytes_.reserve(256);
}

void archiveWriter_t::writeUint8(uint8_t value) {
    bytes_.push_back(value);
}

void archiveWriter_t::writeUint16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void archiveWriter_t::writeUint32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back(static_cast<uint8_t>(value >> shift));
}

void archiveWriter_t::writeInt32(int32_t value) {
    writeUint32(static_cast<uint32_t>(value));
}

void archiveWriter_t::writeDouble(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 64; shift += 8)
        bytes_.push_back(static_cast<uint8_t>(bits >> shift));
}

void archiveWriter_t::writeRaw(const void* bytes, std::size_t count) {
    if (count == 0)
        return;
    const auto* p = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), p, p + count);
}

void archiveWriter_t::writeLength(std::size_t length) {
    if (length <= maxOneByteLength) {
        writeUint8(static_cast<uint8_t>(length));
    } else if (length <= maxTwoByteLength) {
        writeUint8(lengthEscape);
        writeUint16(static_cast<uint16_t>(length));
    } else {
        if (length >= 0xFFFFFFFFu)
            throw archiveException_t(archiveCause_e::memory_e);
        writeUint8(lengthEscape);
        writeUint16(longLengthEscape);
        writeUint32(static_cast<uint32_t>(length));
    }
}

void archiveWriter_t::writeString(const std::wstring& text) {
    // Encoded straight into the message, as wideToUtf16 does: the length
    // counts code units, so characters above U+FFFF count twice. Almost
    // every text is in the basic plane, one unit per character: one pass
    // tells, and the other texts are counted first.
    uint32_t all = 0;
    for (wchar_t wc : text)
        all |= static_cast<uint32_t>(wc);
    const bool basic = all < 0x10000;
    std::size_t units = text.size();
    if (!basic) {
        for (wchar_t wc : text) {
            const auto c = static_cast<uint32_t>(wc);
            if (c >= 0x10000 && c <= 0x10FFFF)
                ++units;
        }
    }
    writeUint8(lengthEscape);
    writeUint16(wideMark);
    writeLength(units);
    const std::size_t at = bytes_.size();
    bytes_.resize(at + 2 * units);
    uint8_t* out = bytes_.data() + at;
    if (basic) {
        for (wchar_t wc : text) {
            const auto c = static_cast<uint32_t>(wc);
            out[0] = static_cast<uint8_t>(c);
            out[1] = static_cast<uint8_t>(c >> 8);
            out += 2;
        }
        return;
    }
    const auto put = [&out](uint32_t unit) {
        out[0] = static_cast<uint8_t>(unit);
        out[1] = static_cast<uint8_t>(unit >> 8);
        out += 2;
    };
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF)
            c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
}

void archiveWriter_t::writeNarrowString(const std::string& text) {
    writeLength(text.size());
    writeRaw(text.data(), text.size());
}

void archiveWriter_t::writeNullObject() {
    writeUint16(nullTag);
}

uint32_t archiveWriter_t::nextIndex() {
    if (mapCount_ >= maxMapCount)
        throw archiveException_t(archiveCause_e::badIndex_e);
    return mapCount_++;
}

void archiveWriter_t::beginObject(const std::string& className, uint16_t schema) {
    const auto known = classIndex_.find(className);
    if (known != classIndex_.end()) {
        const uint32_t index = known->second;
        if (index < bigObjectTag) {
            writeUint16(static_cast<uint16_t>(classTag | index));
        } else {
            writeUint16(bigObjectTag);
            writeUint32(bigClassTag | index);
        }
    } else {
        if (className.size() > maxClassNameLength)
            throw archiveException_t(archiveCause_e::badClass_e);
        writeUint16(newClassTag);
        writeUint16(schema);
        writeUint16(static_cast<uint16_t>(className.size()));
        writeRaw(className.data(), className.size());
        classIndex_.emplace(className, nextIndex());
    }
    nextIndex(); // the object itself
}

std::vector<uint8_t> archiveWriter_t::takeBytes() {
    return std::exchange(bytes_, {});
}
