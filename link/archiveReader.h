// archiveReader_t: decodes the bytes of one archive message (load mode).
// The format is described in link/archiveFormat.h.
//
// Every read throws archiveException_t when the message cannot give what is
// asked; the message stream inputStream_t catches it. The reader trusts no
// length, count or index it reads:
// - a text or list whose declared length is more than the bytes left fails
//   (end of file) before anything is allocated;
// - a class or object reference to an index not seen yet fails (bad index);
// - a class name longer than 63 bytes, or another class than the one
//   expected, fails (bad class);
// - copies made for object back-references are charged against a budget
//   proportional to the message size (out of memory when exceeded).
// The reader never copies the message: the caller keeps the bytes alive.
//
// Objects decoded from a message stay in the reader until it is destroyed,
// so a back-reference always yields a copy of a live object. The typed object
// and list readers are in link/exchangeArchive.h.
#pragma once
#include "link/archiveException.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

class archiveReader_t {
public:
    archiveReader_t(const uint8_t* bytes, std::size_t length);

    uint8_t readUint8();
    uint16_t readUint16();
    uint32_t readUint32();
    int32_t readInt32();
    double readDouble();
    // Up to count bytes (fewer at the end of the message); never throws.
    std::size_t readRaw(void* buffer, std::size_t count);

    // A text in the wide form (UTF-16LE) or the narrow form (code page 1252,
    // widened).
    std::wstring readString();
    // The same without an exception: the cause of the failure (none_e when
    // the text was read). A message that arrives in pieces often ends inside
    // a text, and a throw costs far more than the read.
    archiveCause_e tryReadString(std::wstring& text);

    // A list's 32-bit count; fails when even the smallest element of each
    // (minElementSize bytes) cannot fit in what is left.
    uint32_t readCount(std::size_t minElementSize);

    std::size_t remaining() const { return length_ - position_; }
    std::size_t position() const { return position_; }

    // The start of an object of the named class.
    struct objectHeader_t {
        enum kind_e { none_e, newObject_e, reference_e };
        kind_e kind = none_e;
        uint16_t schema = 0;   // of a new object's class
        std::size_t index = 0; // a new object's index, or the one referred to
    };
    // Reads an object tag. For a new object the index is reserved; the caller
    // decodes the fields and hands the object over with keepObject.
    objectHeader_t readObjectHeader(std::string_view expectedClass);
    void keepObject(std::size_t index, std::shared_ptr<const void> object, std::type_index type);
    // The object with that index (validated by readObjectHeader); throws bad
    // class when it is not a T.
    template <class T> const T& objectAt(std::size_t index) const {
        return *static_cast<const T*>(objectAt(index, std::type_index(typeid(T))));
    }
    // Charges the copy of a referenced object (bytes) against the budget.
    void chargeCopy(std::size_t bytes);

private:
    struct entry_t {
        bool isClass = false;
        std::string className;
        uint16_t schema = 0;
        std::shared_ptr<const void> object; // null while the object is being read
        std::type_index type = std::type_index(typeid(void));
    };

    const void* objectAt(std::size_t index, std::type_index type) const;
    // Index 0 is "no object" and has no entry: a message without objects
    // allocates nothing here.
    std::size_t indexCount() const { return map_.size() + 1; }
    entry_t& at(std::size_t index) { return map_[index - 1]; }
    const entry_t& at(std::size_t index) const { return map_[index - 1]; }
    void need(std::size_t count) const;
    std::size_t addEntry(entry_t entry);
    // False when the message ends inside the length.
    bool tryReadLength(bool& wide, uint64_t& length);

    const uint8_t* bytes_;
    std::size_t length_;
    std::size_t position_ = 0;
    std::vector<entry_t> map_; // entry i - 1 holds index i
    std::size_t copyBudget_;
};
