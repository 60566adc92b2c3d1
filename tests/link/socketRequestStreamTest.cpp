// socketRequestStream_t and outputStream_t: request bytes, the password part,
// and how a message is finished.
#include "link/socketRequestStream.h"
#include "hexBytes.h"

#include <gtest/gtest.h>

namespace {

bytes_t wide(const std::string& ascii) {
    return hexBytes("FF FE FF") + bytes_t{static_cast<uint8_t>(ascii.size())} + utf16Bytes(ascii);
}

bytes_t message(outputStream_t& stream) {
    return bytes_t(stream.bytes(), stream.bytes() + stream.length());
}

TEST(socketRequestStream, requestsAsTheServerReadsThem) {
    socketRequestStream_t connect(L"QVRcontrolConnect");
    connect << int32_t(12);
    connect.writeString(L"bob");
    connect << 12.0;
    EXPECT_EQ(message(connect), wide("QVRcontrolConnect") + hexBytes("0C 00 00 00") + wide("bob") +
                                    hexBytes("00 00 00 00 00 00 28 40"));

    socketRequestStream_t cancel(L"CANCELBUILD", L"pw");
    cancel << int32_t(-2) << uint32_t(0xFFFFFFFFu);
    EXPECT_EQ(message(cancel),
              wide("CANCELBUILD") + wide("PASSWORD") + wide("pw") + hexBytes("FE FF FF FF FF FF FF FF"));

    socketRequestStream_t command(L"CMND");
    const uint8_t packet[] = {0x01, 0x01};
    command.writeRaw(packet, sizeof packet);
    EXPECT_EQ(message(command), hexBytes("FF FE FF 04 43 00 4D 00 4E 00 44 00 01 01"));

    fileInfo_t info;
    info.values[5] = 1;
    const std::vector<machineHostIDname_t> none;
    socketRequestStream_t records(L"R");
    records << info << static_cast<const fileInfo_t*>(nullptr) << info << none;
    EXPECT_EQ(message(records),
              wide("R") + hexBytes("FF FF 01 00 0A 00") + asciiBytes("fileInfo_t") +
                  repeated(hexBytes("00 00 00 00"), 5) + hexBytes("01 00 00 00 00 00 01 80") +
                  repeated(hexBytes("00 00 00 00"), 5) + hexBytes("01 00 00 00 00 00 00 00"));
}

TEST(socketRequestStream, finishIsOnceOnly) {
    socketRequestStream_t request(L"QUEUEINFO");
    const uint8_t* first = request.bytes();
    const int32_t length = request.length();
    EXPECT_EQ(length, 22);
    request << int32_t(5);
    request.writeString(L"late");
    request.finish();
    EXPECT_EQ(request.bytes(), first);
    EXPECT_EQ(request.length(), length);
    EXPECT_FALSE(request.failed());
}

// A stream that failed finishes as an empty message with a 2-byte
// placeholder, never a null pointer.
TEST(socketRequestStream, failedStreamFinishesEmpty) {
    struct brokenStream_t : socketRequestStream_t {
        brokenStream_t() : socketRequestStream_t(L"ERROR") { markFailed(archiveCause_e::memory_e); }
    } broken;
    broken << int32_t(1);
    EXPECT_EQ(broken.length(), 0);
    ASSERT_NE(broken.bytes(), nullptr);
    EXPECT_EQ(broken.bytes()[0], 0);
    EXPECT_EQ(broken.bytes()[1], 0);
    EXPECT_EQ(broken.bytes(), broken.bytes());
    EXPECT_TRUE(broken.failed());

    outputStream_t empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_NE(empty.bytes(), nullptr);
    EXPECT_FALSE(empty.failed());
}

// Taking the bytes hands over exactly what bytes() and length() give, and
// leaves an empty message; a failed stream hands over nothing.
TEST(socketRequestStream, takenBytesAreTheMessage) {
    socketRequestStream_t shown(L"CANCELBUILD", L"pw");
    shown << int32_t(3);
    const std::vector<uint8_t> expected(shown.bytes(), shown.bytes() + shown.length());
    socketRequestStream_t taken(L"CANCELBUILD", L"pw");
    taken << int32_t(3);
    EXPECT_EQ(taken.takeBytes(), expected);
    EXPECT_EQ(taken.length(), 0);
    ASSERT_NE(taken.bytes(), nullptr);
    EXPECT_TRUE(taken.takeBytes().empty());

    struct brokenStream_t : socketRequestStream_t {
        brokenStream_t() : socketRequestStream_t(L"ERROR") { markFailed(archiveCause_e::memory_e); }
    } broken;
    EXPECT_TRUE(broken.takeBytes().empty());
    EXPECT_EQ(broken.length(), 0);
}

} // namespace
