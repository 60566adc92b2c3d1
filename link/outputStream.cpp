#include "link/outputStream.h"

#include "link/archiveWriter.h"

#include <limits>
#include <new>

outputStream_t::outputStream_t() {
    try {
        archive_.emplace();
        markOpen();
    } catch (...) {
        markFailed(archiveCause_e::memory_e);
    }
}

outputStream_t::~outputStream_t() = default;

void outputStream_t::writeRaw(const void* bytes, std::size_t count) {
    if (bytes == nullptr && count > 0)
        return;
    write([&](archiveWriter_t& ar) { ar.writeRaw(bytes, count); });
}

void outputStream_t::finish() {
    if (finished_)
        return;
    finished_ = true;
    bool taken = false;
    if (!failed() && archive_) {
        try {
            if (archive_->bytes().size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
                bytes_ = archive_->takeBytes();
                length_ = static_cast<int32_t>(bytes_.size());
                taken = true;
            } else {
                markFailed(archiveCause_e::memory_e);
            }
        } catch (...) {
            markFailed(archiveCause_e::memory_e);
        }
    }
    archive_.reset();
    if (!taken || bytes_.empty()) {
        // The placeholder keeps bytes() a valid pointer even for nothing.
        try {
            bytes_.assign(2, 0);
        } catch (...) {
        }
        if (!taken)
            length_ = 0;
    }
}

const uint8_t* outputStream_t::bytes() {
    finish();
    return bytes_.data();
}

int32_t outputStream_t::length() {
    finish();
    return length_;
}
