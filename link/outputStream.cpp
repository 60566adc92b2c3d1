#include "link/outputStream.h"

#include "link/archiveWriter.h"

#include <limits>
#include <new>
#include <utility>

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

namespace {
// What bytes() points to for an empty or failed message: never null.
const uint8_t noBytes[2] = {0, 0};
} // namespace

void outputStream_t::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (!failed() && archive_) {
        try {
            if (archive_->bytes().size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
                bytes_ = archive_->takeBytes();
                length_ = static_cast<int32_t>(bytes_.size());
            } else {
                markFailed(archiveCause_e::memory_e);
            }
        } catch (...) {
            markFailed(archiveCause_e::memory_e);
        }
    }
    archive_.reset();
}

const uint8_t* outputStream_t::bytes() {
    finish();
    return bytes_.empty() ? noBytes : bytes_.data();
}

int32_t outputStream_t::length() {
    finish();
    return length_;
}

std::vector<uint8_t> outputStream_t::takeBytes() {
    finish();
    length_ = 0;
    return std::exchange(bytes_, {});
}
