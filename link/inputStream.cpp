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

// A message received in pieces often ends inside a field: a text or a
// number cut short fails the stream here without an exception, which would
// cost far more than the read.
std::wstring inputStream_t::readString() {
    std::wstring text;
    read([&](archiveReader_t& ar) {
        const archiveCause_e cause = ar.tryReadString(text);
        if (cause != archiveCause_e::none_e)
            markFailed(cause);
    });
    if (failed())
        text.clear();
    return text;
}

inputStream_t& inputStream_t::operator>>(uint32_t& value) {
    if (!failed() && archive_->remaining() < 4)
        markFailed(archiveCause_e::endOfFile_e);
    read([&](archiveReader_t& ar) { value = ar.readUint32(); });
    return *this;
}

inputStream_t& inputStream_t::operator>>(int32_t& value) {
    if (!failed() && archive_->remaining() < 4)
        markFailed(archiveCause_e::endOfFile_e);
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
