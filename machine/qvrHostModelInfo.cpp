#include "machine/qvrHostModelInfo.h"

#include "machine/littleEndian.h"

std::string qvrHostModelInfo_t::modelName() const {
    std::size_t n = 0;
    while (n < nameLength && name[n] != '\0')
        ++n;
    return std::string(name.data(), n);
}

void qvrHostModelInfo_t::setModelName(const std::string& narrow) {
    // Like a bounded string copy: up to the first zero byte, at most 17,
    // the rest zero.
    name.fill('\0');
    for (std::size_t i = 0; i < nameLength && i < narrow.size() && narrow[i] != '\0'; ++i)
        name[i] = narrow[i];
}

bool qvrHostModelInfo_t::readPacket(const uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length < packetSize)
        return false;
    for (std::size_t i = 0; i < valueCount; ++i)
        values[i] = le::getI32(bytes + valuesOffset + 4 * i);
    for (std::size_t i = 0; i < wordCount; ++i)
        words[i] = le::getU16(bytes + wordsOffset + 2 * i);
    for (std::size_t i = 0; i < nameLength; ++i)
        name[i] = static_cast<char>(bytes[nameOffset + i]);
    name[nameLength] = '\0';
    return true;
}

void qvrHostModelInfo_t::writePacket(uint8_t* out) const {
    for (std::size_t i = 0; i < valueCount; ++i)
        le::putU32(out + valuesOffset + 4 * i, static_cast<uint32_t>(values[i]));
    for (std::size_t i = 0; i < wordCount; ++i)
        le::putU16(out + wordsOffset + 2 * i, words[i]);
    for (std::size_t i = 0; i < nameLength; ++i)
        out[nameOffset + i] = static_cast<uint8_t>(name[i]);
    out[terminatorOffset] = 0;
}

std::array<uint8_t, qvrHostModelInfo_t::packetSize> qvrHostModelInfo_t::toPacket() const {
    std::array<uint8_t, packetSize> out{};
    writePacket(out.data());
    return out;
}
