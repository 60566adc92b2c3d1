// inputStream_t: parses the bytes of one received message. It never throws
// (see link/MFCstream.h) and never copies the bytes: the caller keeps them
// alive while the stream exists.
//
//   inputStream_t in(buffer, received);
//   std::wstring word = in.readString();
//   uint32_t id = 0; in >> id;
//   std::unique_ptr<fileInfo_t> info; in >> info;   // null: no object
//   std::vector<machineHostIDname_t> machines; in >> machines;
//
// Once the stream has failed: readString gives the empty text, numbers and
// record pointers are left unchanged, lists are left empty, readRaw gives 0.
// A negative length makes the stream failed from the start.
//
// Decoding is bounded by the message: a text, list or class name that
// announces more than the bytes left fails the stream before anything is
// allocated; an unknown or unexpected class name, a schema other than 1 and a
// reference to a class or object index not seen yet fail it too. A
// back-reference to an object read earlier in the message yields a copy of it.
#pragma once
#include "link/MFCstream.h"
#include "link/exchangeArchive.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class inputStream_t : public MFCstream_t {
public:
    inputStream_t(const uint8_t* bytes, int32_t length);
    ~inputStream_t() override;

    std::wstring readString();

    inputStream_t& operator>>(uint32_t& value);
    inputStream_t& operator>>(int32_t& value);
    inputStream_t& operator>>(double& value);

    // A record object; null when the message holds "no object" there.
    template <exchangeRecord T> inputStream_t& operator>>(std::unique_ptr<T>& record) {
        read([&](archiveReader_t& ar) { record = readObject<T>(ar); });
        return *this;
    }
    // Emptied first; then a 32-bit count and that many objects ("no object"
    // is skipped). On a failure the records read before it stay.
    template <exchangeRecord T> inputStream_t& operator>>(std::vector<T>& records) {
        records.clear();
        read([&](archiveReader_t& ar) { readList(ar, records); });
        return *this;
    }

    // Up to count raw bytes (fewer at the end of the message); 0 once failed.
    std::size_t readRaw(void* buffer, std::size_t count);

    // Bytes not read yet (0 once failed).
    std::size_t remaining() const;

private:
    template <class F> void read(F&& operation) noexcept {
        if (archive_)
            guarded([&] { operation(*archive_); });
    }

    // Held in place: a message read costs no allocation of its reader.
    std::optional<archiveReader_t> archive_;
};
