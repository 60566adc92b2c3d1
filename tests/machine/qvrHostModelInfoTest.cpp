// The model record's 60-byte packet form (device packet type 8).
#include "machine/qvrHostModelInfo.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> goldenPacket() {
    // Nine int32 (1, 2, ..., 8, -1), three uint16 (0x0102, 0x0304, 0xFFFF),
    // "ABC" padded to 17 bytes, the terminator.
    std::vector<uint8_t> p = {1,    0,    0,    0,    2,    0,    0,   0,   3,    0,    0,    0,
                              4,    0,    0,    0,    5,    0,    0,   0,   6,    0,    0,    0,
                              7,    0,    0,    0,    8,    0,    0,   0,   0xFF, 0xFF, 0xFF, 0xFF,
                              0x02, 0x01, 0x04, 0x03, 0xFF, 0xFF, 'A', 'B', 'C'};
    p.resize(60, 0);
    return p;
}

TEST(qvrHostModelInfo, packetFieldsByOffset) {
    std::vector<uint8_t> packet = goldenPacket();
    packet.push_back(0x77); // bytes after the 60th are not the record's
    qvrHostModelInfo_t info;
    ASSERT_TRUE(info.readPacket(packet.data(), packet.size()));
    EXPECT_EQ(info.values[0], 1);
    EXPECT_EQ(info.layerThickness(), 2);
    EXPECT_EQ(info.values[8], -1);
    EXPECT_EQ(info.words[0], 0x0102);
    EXPECT_EQ(info.words[2], 0xFFFF);
    EXPECT_EQ(info.modelName(), "ABC");

    const auto written = info.toPacket();
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), goldenPacket());
}

TEST(qvrHostModelInfo, nameAndShortPackets) {
    std::vector<uint8_t> packet = goldenPacket();
    for (int i = 42; i < 60; ++i)
        packet[static_cast<std::size_t>(i)] = 'x'; // no terminator in the packet
    qvrHostModelInfo_t info;
    ASSERT_TRUE(info.readPacket(packet.data(), packet.size()));
    EXPECT_EQ(info.modelName(), std::string(17, 'x'));
    EXPECT_EQ(info.toPacket()[59], 0);

    // A payload shorter than the record is refused and changes nothing.
    const qvrHostModelInfo_t before = info;
    EXPECT_FALSE(info.readPacket(packet.data(), 59));
    EXPECT_FALSE(info.readPacket(nullptr, 60));
    EXPECT_EQ(info, before);

    info.setModelName(std::string("AB\0CD", 5));
    EXPECT_EQ(info.modelName(), "AB");
    EXPECT_EQ(info.name[3], '\0');
    info.setModelName(std::string(20, 'y'));
    EXPECT_EQ(info.modelName(), std::string(17, 'y'));
}

} // namespace
