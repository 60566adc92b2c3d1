#include "link/socketRequestStream.h"

socketRequestStream_t::socketRequestStream_t(const std::wstring& commandWord, const std::wstring& password) {
    writeString(commandWord);
    if (!password.empty()) {
        writeString(L"PASSWORD");
        writeString(password);
    }
}

void socketRequestStream_t::writeString(const std::wstring& text) {
    write([&](archiveWriter_t& ar) { ar.writeString(text); });
}

socketRequestStream_t& socketRequestStream_t::operator<<(int32_t value) {
    write([&](archiveWriter_t& ar) { ar.writeInt32(value); });
    return *this;
}

socketRequestStream_t& socketRequestStream_t::operator<<(uint32_t value) {
    write([&](archiveWriter_t& ar) { ar.writeUint32(value); });
    return *this;
}

socketRequestStream_t& socketRequestStream_t::operator<<(double value) {
    write([&](archiveWriter_t& ar) { ar.writeDouble(value); });
    return *this;
}
