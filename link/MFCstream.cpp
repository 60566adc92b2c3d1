#include "link/MFCstream.h"

MFCstream_t::~MFCstream_t() = default;

void MFCstream_t::markFailed(archiveCause_e cause) noexcept {
    failed_ = true;
    cause_ = cause;
}

void MFCstream_t::markOpen() noexcept {
    failed_ = false;
    cause_ = archiveCause_e::none_e;
}
