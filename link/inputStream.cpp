#include "link/inputStream.h"

inputStream_t::inputStream_t(const uint8_t* bytes, int32_t length) {
    if (length < 0 || (bytes == nullptr && length > 0))
        return;
    try {
        archive_.emplace(bytes, static_cast<std::size_t>(length));
        markOpen();
    } catch (...) {
        markFailed(archiveCause_e::memory_e);
    }
}

inputStream_t::~inputStream_t() = default;

std::wstring inputStream_t::readString() {
    std::wstring text;
    read([&](archiveReader_t& ar) { text = ar.readString(); });
    if (failed())
        text.clear();
    return text;
}

inputStream_t& inputStream_t::operator>>(uint32_t& value) {
    read([&](archiveReader_t& ar) { value = ar.readUint32(); });
    return *this;
}

inputStream_t& inputStream_t::operator>>(int32_t& value) {
    read([&](archiveReader_t& ar) { value = ar.readInt32(); });
    return *this;
}

inputStream_t& inputStream_t::operator>>(double& value) {
    read([&](archiveReader_t& ar) { value = ar.readDouble(); });
    return *this;
}

std::size_t inputStream_t::readRaw(void* buffer, std::size_t count) {
    std::size_t n = 0;
    if (buffer == nullptr)
        return 0;
    read([&](archiveReader_t& ar) { n = ar.readRaw(buffer, count); });
    return n;
}

std::size_t inputStream_t::remaining() const {
    return failed() || !archive_ ? 0 : archive_->remaining();
}
