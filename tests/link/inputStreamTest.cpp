// inputStream_t: reading a message field by field, failing softly, and
// staying bounded on hostile counts.
#include "link/inputStream.h"
#include "hexBytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bytes_t wide(const std::string& ascii) {
    return hexBytes("FF FE FF") + bytes_t{static_cast<uint8_t>(ascii.size())} + utf16Bytes(ascii);
}

const bytes_t machineClass = hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t");

// A greeting as the machines server sends it: word, two doubles, a list of
// one machine.
const bytes_t greeting = wide("BrevanquillorMachinesServer") + hexBytes("00 00 00 00 00 00 F8 3F") +
                         hexBytes("00 00 00 00 00 00 28 40") + hexBytes("01 00 00 00") + machineClass +
                         hexBytes("07 00 00 00 FE FF FF FF 00 00 00 00") + wide("localhost") + wide("P7");

struct greeting_t {
    std::wstring word = L"?";
    double a = -1, b = -1;
    std::vector<machineHostIDname_t> machines{machineHostIDname_t()};
};

greeting_t readGreeting(inputStream_t& in) {
    greeting_t g;
    g.word = in.readString();
    in >> g.a >> g.b >> g.machines;
    return g;
}

TEST(inputStream, readsAWholeMessage) {
    inputStream_t in(greeting.data(), static_cast<int32_t>(greeting.size()));
    const greeting_t g = readGreeting(in);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(g.word, L"BrevanquillorMachinesServer");
    EXPECT_EQ(g.a, 1.5);
    EXPECT_EQ(g.b, 12.0);
    ASSERT_EQ(g.machines.size(), 1u);
    EXPECT_EQ(g.machines[0], machineHostIDname_t(L"localhost", 7, L"P7", -2, 0));
    EXPECT_EQ(in.remaining(), 0u);
}

// Every cut of the message fails the stream, and the fields read before the
// cut keep their values.
TEST(inputStream, everyTruncationFailsSoftly) {
    for (std::size_t length = 0; length < greeting.size(); ++length) {
        SCOPED_TRACE(length);
        const bytes_t cut(greeting.begin(), greeting.begin() + static_cast<std::ptrdiff_t>(length));
        inputStream_t in(cut.data(), static_cast<int32_t>(cut.size()));
        const greeting_t g = readGreeting(in);
        EXPECT_TRUE(in.failed());
        EXPECT_EQ(in.failureCause(), archiveCause_e::endOfFile_e);
        EXPECT_TRUE(g.word.empty() || g.word == L"BrevanquillorMachinesServer");
        EXPECT_TRUE(g.machines.empty());
        EXPECT_EQ(in.readString(), L"");
    }
}

// The numbers and texts of a request cut anywhere: the field at the cut
// fails the stream as the end of the message and keeps its value, and every
// field before it is read whole.
TEST(inputStream, numbersAndTextsCutAnywhereFailAtTheEnd) {
    const bytes_t request = wide("MOVEFILEINQUEUE") + hexBytes("05 00 00 00") + wide("abc") + hexBytes("FE FF FF FF") +
                            hexBytes("FF 03 00") + asciiBytes("xyz");
    for (std::size_t length = 0; length <= request.size(); ++length) {
        SCOPED_TRACE(length);
        inputStream_t in(request.data(), static_cast<int32_t>(length));
        const std::wstring word = in.readString();
        int32_t first = -7;
        in >> first;
        const std::wstring text = in.readString();
        uint32_t second = 7;
        in >> second;
        const std::wstring narrow = in.readString();
        const bool whole = length == request.size();
        EXPECT_EQ(in.failed(), !whole);
        EXPECT_EQ(in.failureCause(), whole ? archiveCause_e::none_e : archiveCause_e::endOfFile_e);
        EXPECT_TRUE(word.empty() || word == L"MOVEFILEINQUEUE");
        EXPECT_TRUE(first == -7 || first == 5);
        EXPECT_TRUE(text.empty() || text == L"abc");
        EXPECT_TRUE(second == 7u || second == 0xFFFFFFFEu);
        EXPECT_EQ(narrow, whole ? L"xyz" : L"");
    }
}

TEST(inputStream, negativeLengthFailsFromTheStart) {
    const bytes_t bytes = wide("RESP");
    inputStream_t in(bytes.data(), -1);
    EXPECT_TRUE(in.failed());
    uint32_t number = 77;
    double value = 2.5;
    std::unique_ptr<fileInfo_t> info = std::make_unique<fileInfo_t>();
    std::vector<fileSendParams_t> queue(2);
    uint8_t raw[4] = {};
    EXPECT_EQ(in.readString(), L"");
    in >> number >> value >> info >> queue;
    EXPECT_EQ(number, 77u);
    EXPECT_EQ(value, 2.5);
    EXPECT_NE(info, nullptr);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(in.readRaw(raw, sizeof raw), 0u);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(inputStream, doubleWithFourBytesLeftFails) {
    const bytes_t bytes = wide("HASNEWTIMEEST") + hexBytes("01 02 03 04");
    inputStream_t in(bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(in.readString(), L"HASNEWTIMEEST");
    double value = 3.0;
    in >> value;
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(value, 3.0);
    EXPECT_EQ(in.readString(), L"");
}

TEST(inputStream, numbersAndRawBytes) {
    const bytes_t bytes = hexBytes("FE FF FF FF FF FF FF FF") + wide("RESP") + hexBytes("0D 01 02 03 04");
    inputStream_t in(bytes.data(), static_cast<int32_t>(bytes.size()));
    int32_t signedValue = 0;
    uint32_t unsignedValue = 0;
    in >> signedValue >> unsignedValue;
    EXPECT_EQ(signedValue, -2);
    EXPECT_EQ(unsignedValue, 0xFFFFFFFFu);
    EXPECT_EQ(in.readString(), L"RESP");
    uint8_t packet[64];
    std::memset(packet, 0xAA, sizeof packet);
    // At most what is asked, fewer at the end, and no failure for that.
    EXPECT_EQ(in.readRaw(packet, 2), 2u);
    EXPECT_EQ(in.readRaw(packet + 2, sizeof packet - 2), 3u);
    EXPECT_EQ(bytes_t(packet, packet + 5), hexBytes("0D 01 02 03 04"));
    EXPECT_EQ(packet[5], 0xAA);
    EXPECT_EQ(in.readRaw(packet, sizeof packet), 0u);
    EXPECT_FALSE(in.failed());
}

// A count of 3 with only 2 objects gives the 2 objects and a failed stream.
TEST(inputStream, listShorterThanItsCount) {
    const bytes_t bytes = hexBytes("03 00 00 00") + machineClass +
                          hexBytes("01 00 00 00 00 00 00 00 00 00 00 00") + wide("h") + wide("a") +
                          hexBytes("01 80 02 00 00 00 00 00 00 00 00 00 00 00") + wide("h") + wide("b");
    inputStream_t in(bytes.data(), static_cast<int32_t>(bytes.size()));
    std::vector<machineHostIDname_t> machines;
    in >> machines;
    EXPECT_TRUE(in.failed());
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[1].machineName, L"b");
}

// Counts that no message of this size can hold fail at once, and copies of
// back-referenced objects are bounded by the message's size.
TEST(inputStream, hostileListsStayBounded) {
    std::vector<fileSendParams_t> queue;
    {
        const bytes_t bytes = wide("QUEUEINFO") + hexBytes("FF FF FF FF 00 00 00 00");
        inputStream_t in(bytes.data(), static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(in.readString(), L"QUEUEINFO");
        in >> queue;
        EXPECT_TRUE(in.failed());
        EXPECT_EQ(in.failureCause(), archiveCause_e::endOfFile_e);
        EXPECT_TRUE(queue.empty());
    }
    {
        // One machine with a 16000-character name, then 16000 references to
        // it: 32 KB that would otherwise become a gigabyte of copies.
        bytes_t bytes = hexBytes("81 3E 00 00") + machineClass +
                        hexBytes("01 00 00 00 00 00 00 00 00 00 00 00") + wide("h") +
                        hexBytes("FF FE FF FF 80 3E") + repeated(hexBytes("41 00"), 16000) +
                        repeated(hexBytes("02 00"), 16000);
        inputStream_t in(bytes.data(), static_cast<int32_t>(bytes.size()));
        std::vector<machineHostIDname_t> machines;
        in >> machines;
        EXPECT_TRUE(in.failed());
        EXPECT_EQ(in.failureCause(), archiveCause_e::memory_e);
        EXPECT_LT(machines.size(), 100u);
    }
}

} // namespace
