// deps: machine
// The file layer under every settings file: arbitrary bytes written to a
// file of the temporary prefix and read back in text mode, in pieces of a
// chosen size and whole with a bound. What comes back must be the bytes
// with CR LF read as LF and nothing from a 0x1A on, and the position then
// stands on the 0x1A or at the file's end (a byte offset).
//
// Input: byte 0 chooses the reading: bit 7 clear, in pieces of 1 to 128
// bytes (bits 0 to 6); bit 7 set, whole, with a bound one byte short of the
// text when bit 0 is set. The rest is the file. One file and one reading
// per input: this target is the file layer's, every parser reads from
// memory.
#include "machine/textFileIo.h"
#include "platform/fileHandle.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::wstring filePath = L"C:/fuzzTextFile.txt";

// What the text mode makes of the bytes.
std::string textModeView(const std::string& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1a')
            break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text.push_back(bytes[i]);
    }
    return text;
}

// Reads the whole file in text mode, piece by piece; the position after
// the last piece goes to *end.
std::string readInPieces(std::size_t piece, std::int64_t* end) {
    fileHandle_t file;
    if (!file.open(filePath, "r"))
        std::abort();
    std::string read;
    std::vector<char> buffer(piece);
    for (;;) {
        const std::size_t n = file.read(buffer.data(), piece);
        if (n > piece)
            std::abort();
        if (n == 0)
            break;
        read.append(buffer.data(), n);
    }
    if (file.hadError() || !file.atEnd())
        std::abort();
    *end = file.tell();
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    {
        // A new file each time: truncating one that holds unwritten blocks
        // makes ext4 write them out at the close, at the cost of a disk
        // write per input.
        deleteFile(filePath);
        fileHandle_t file;
        if (!file.open(filePath, "wb") || !file.write(bytes.data(), bytes.size()) || !file.close())
            std::abort();
    }
    const std::string expected = textModeView(bytes);
    if ((data[0] & 0x80) == 0) {
        std::int64_t end = -1;
        if (readInPieces(1 + (data[0] & 0x7F), &end) != expected)
            std::abort();
        const std::size_t ctrlZ = bytes.find('\x1a');
        if (end != static_cast<std::int64_t>(ctrlZ == std::string::npos ? bytes.size() : ctrlZ))
            std::abort();
        return 0;
    }
    std::string whole = "stale";
    if ((data[0] & 1) != 0 && !expected.empty()) {
        if (readTextFileBounded(filePath, expected.size() - 1, whole) != textFileRead_e::tooLarge_e ||
            !whole.empty())
            std::abort();
    } else if (readTextFileBounded(filePath, expected.size(), whole) != textFileRead_e::ok_e ||
               whole != expected) {
        std::abort();
    }
    return 0;
}
