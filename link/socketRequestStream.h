// socketRequestStream_t: an outputStream_t whose message starts with a
// command word, and, when a password is given, the texts "PASSWORD" and the
// password. Then the caller writes the message's fields:
//
//   socketRequestStream_t request(L"CANCELBUILD", password);
//   request << int32_t(index);
//   send(request.bytes(), request.length());
//
// Texts go as wide archive strings, records as archive objects (class tag,
// schema 1, fields; link/exchangeArchive.h), lists as a 32-bit count and the
// objects. Every writer does nothing once the stream has failed or finished.
#pragma once
#include "link/exchangeArchive.h"
#include "link/outputStream.h"

#include <cstdint>
#include <string>
#include <vector>

class socketRequestStream_t : public outputStream_t {
public:
    explicit socketRequestStream_t(const std::wstring& commandWord,
                                   const std::wstring& password = std::wstring());

    void writeString(const std::wstring& text);

    socketRequestStream_t& operator<<(int32_t value);
    socketRequestStream_t& operator<<(uint32_t value);
    socketRequestStream_t& operator<<(double value);

    template <exchangeRecord T> socketRequestStream_t& operator<<(const T& record) {
        write([&](archiveWriter_t& ar) { writeObject(ar, &record); });
        return *this;
    }
    // "No object" when null.
    template <exchangeRecord T> socketRequestStream_t& operator<<(const T* record) {
        write([&](archiveWriter_t& ar) { writeObject(ar, record); });
        return *this;
    }
    template <exchangeRecord T> socketRequestStream_t& operator<<(const std::vector<T>& records) {
        write([&](archiveWriter_t& ar) { writeList(ar, records); });
        return *this;
    }
};
