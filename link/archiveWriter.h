// archiveWriter_t: builds the bytes of one archive message (store mode).
// The format is described in link/archiveFormat.h.
//
//   archiveWriter_t ar;
//   ar.writeString(L"QUEUEINFO");
//   ar.writeUint32(2);
//   writeObject(ar, &record);         // link/exchangeArchive.h
//   std::vector<uint8_t> message = ar.takeBytes();
//
// Objects are always written in full (class tag, then fields); the writer
// never emits an object back-reference, because records are values and the
// address of one says nothing about whether it is the same record. Classes
// are named in full at their first use in the message and referred to by
// index after that. Only allocation failure or an index overflow (more than
// 0x3FFFFFFE classes and objects) throws; the message streams catch both.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class archiveWriter_t {
public:
    archiveWriter_t();

    void writeUint8(uint8_t value);
    void writeUint16(uint16_t value);
    void writeInt32(int32_t value);
    void writeUint32(uint32_t value);
    void writeDouble(double value);
    void writeRaw(const void* bytes, std::size_t count);

    // A wide text as UTF-16LE code units (characters above U+FFFF become
    // surrogate pairs; the length counts code units).
    void writeString(const std::wstring& text);
    // A narrow text in the unmarked form, bytes as they are.
    void writeNarrowString(const std::string& text);

    // Tag 0: no object.
    void writeNullObject();
    // Writes the tag of a new object of the class (the full class the first
    // time in this message, a class reference after) and counts the object.
    // The caller writes the object's fields next.
    void beginObject(const std::string& className, uint16_t schema);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> takeBytes();

private:
    void writeLength(std::size_t length);
    uint32_t nextIndex();

    std::vector<uint8_t> bytes_;
    std::map<std::string, uint32_t> classIndex_;
    uint32_t mapCount_ = 1; // index 0 is "no object"
};
