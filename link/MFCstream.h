// MFCstream_t: the common part of the message streams (outputStream_t,
// socketRequestStream_t, inputStream_t).
//
// A message stream never throws. Every operation has the same shape: once
// the stream has failed it does nothing; otherwise it performs the archive
// operation, and a failure of the archive (end of data, bad class, bad index,
// bad schema, memory) marks the stream failed for good. A parser can so read
// its fields in sequence and check nothing per field: from the point of
// failure on, texts read empty and numbers keep their values.
#pragma once
#include "link/archiveException.h"

class MFCstream_t {
public:
    MFCstream_t() = default;
    MFCstream_t(const MFCstream_t&) = delete;
    MFCstream_t& operator=(const MFCstream_t&) = delete;
    virtual ~MFCstream_t();

    bool failed() const { return failed_; }
    // Why the stream failed (none_e while it has not). endOfFile_e means the
    // message ended inside a field: a message received in pieces may still
    // complete it.
    archiveCause_e failureCause() const { return cause_; }

protected:
    // Runs one archive operation under the rule above; false when it did
    // not run or failed.
    template <class F> bool guarded(F&& operation) noexcept {
        if (failed_)
            return false;
        try {
            operation();
            return true;
        } catch (const archiveException_t& e) {
            markFailed(e.cause());
        } catch (...) {
            // Allocation failures and the like: the archive is abandoned too.
            markFailed(archiveCause_e::memory_e);
        }
        return false;
    }
    void markFailed(archiveCause_e cause) noexcept;
    void markOpen() noexcept;

private:
    // Failed until an archive has been opened.
    bool failed_ = true;
    archiveCause_e cause_ = archiveCause_e::generic_e;
};
