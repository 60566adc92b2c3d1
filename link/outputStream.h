// outputStream_t: builds one message in memory and hands out its bytes, for
// the socket layer to send with one send. It never throws (see
// link/MFCstream.h). The typed writers are on socketRequestStream_t, which
// starts every message with its command word.
//
//   finish() closes the message once (later calls and later writes do
//   nothing). A failed stream finishes as an empty message: length 0 and a
//   2-byte zero placeholder, so bytes() is never null.
//   bytes() and length() finish first; bytes() returns the same pointer
//   every time, valid while the stream exists.
#pragma once
#include "link/MFCstream.h"
#include "link/archiveWriter.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class outputStream_t : public MFCstream_t {
public:
    outputStream_t();
    ~outputStream_t() override;

    void writeRaw(const void* bytes, std::size_t count);

    void finish();
    const uint8_t* bytes();
    int32_t length();
    // Finishes and hands the bytes over (none for a failed message); the
    // stream is left an empty message.
    std::vector<uint8_t> takeBytes();
    bool finished() const { return finished_; }

protected:
    // Runs a write on the open archive: nothing once finished or failed.
    template <class F> void write(F&& operation) noexcept {
        if (finished_ || !archive_)
            return;
        guarded([&] { operation(*archive_); });
    }

private:
    // Held in place: a message costs no allocation of its writer.
    std::optional<archiveWriter_t> archive_;
    std::vector<uint8_t> bytes_;
    int32_t length_ = 0;
    bool finished_ = false;
};
