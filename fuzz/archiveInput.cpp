// deps: link
// Arbitrary bytes read as an archive message, field after field.
//
// Input: byte 0 gives the number n of reads (0 to 32), bytes 1 to n choose
// each read (a text, a number, raw bytes, one of the six records or a list
// of them); the rest is the message. Every record that decodes must encode
// and decode again to an equal record; after a failure every read must give
// the empty or unchanged value.
#include "link/inputStream.h"
#include "link/socketRequestStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

template <class T> void checkRoundTrip(const T& record) {
    archiveWriter_t writer;
    writeObject(writer, &record);
    archiveReader_t reader(writer.bytes().data(), writer.bytes().size());
    std::unique_ptr<T> again = readObject<T>(reader);
    if (!again || !(*again == record) || reader.remaining() != 0)
        std::abort();
}

template <class T> void readRecord(inputStream_t& in) {
    const bool wasFailed = in.failed();
    auto sentinel = std::make_unique<T>();
    const T* before = sentinel.get();
    std::unique_ptr<T> record = std::move(sentinel);
    in >> record;
    if (in.failed()) {
        if (record.get() != before)
            std::abort();
        return;
    }
    if (wasFailed)
        std::abort();
    if (record)
        checkRoundTrip(*record);
}

// Every element takes at least its 2-byte tag, so a list never holds more
// elements than half the message's bytes.
template <class T> void readRecordList(inputStream_t& in, std::size_t messageLength) {
    std::vector<T> records(1);
    in >> records;
    if (records.size() > messageLength / 2)
        std::abort();
    // The first few are enough: the rest are mostly copies of them, and
    // checking thousands would slow the search down.
    for (std::size_t i = 0; i < records.size() && i < 8; ++i)
        checkRoundTrip(records[i]);
}

void runRead(inputStream_t& in, uint8_t op, std::size_t messageLength) {
    switch (op % 17) {
    case 0: {
        const std::wstring text = in.readString();
        if (in.failed() && !text.empty())
            std::abort();
        break;
    }
    case 1: {
        uint32_t value = 0x5A5A5A5A;
        const bool wasFailed = in.failed();
        in >> value;
        if (wasFailed && value != 0x5A5A5A5A)
            std::abort();
        break;
    }
    case 2: {
        int32_t value = 0;
        in >> value;
        break;
    }
    case 3: {
        double value = 0;
        in >> value;
        break;
    }
    case 4: {
        uint8_t raw[64];
        const std::size_t left = in.remaining();
        const std::size_t n = in.readRaw(raw, sizeof raw);
        if (n > sizeof raw || n > left)
            std::abort();
        break;
    }
    case 5:
        readRecord<fileSendParams_t>(in);
        break;
    case 6:
        readRecord<fileInfo_t>(in);
        break;
    case 7:
        readRecord<errorHistory_t>(in);
        break;
    case 8:
        readRecord<machineHostIDname_t>(in);
        break;
    case 9:
        readRecord<textMessage_t>(in);
        break;
    case 10:
        readRecord<qvrHostModelInfo_t>(in);
        break;
    case 11:
        readRecordList<fileSendParams_t>(in, messageLength);
        break;
    case 12:
        readRecordList<fileInfo_t>(in, messageLength);
        break;
    case 13:
        readRecordList<errorHistory_t>(in, messageLength);
        break;
    case 14:
        readRecordList<machineHostIDname_t>(in, messageLength);
        break;
    case 15:
        readRecordList<textMessage_t>(in, messageLength);
        break;
    default:
        readRecordList<qvrHostModelInfo_t>(in, messageLength);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0x100000)
        return 0;
    const std::size_t reads = data[0] % 33;
    if (size < 1 + reads)
        return 0;
    const uint8_t* ops = data + 1;
    const uint8_t* message = data + 1 + reads;
    const auto length = static_cast<int32_t>(size - 1 - reads);

    inputStream_t in(message, length);
    for (std::size_t i = 0; i < reads; ++i)
        runRead(in, ops[i], static_cast<std::size_t>(length));
    return 0;
}
