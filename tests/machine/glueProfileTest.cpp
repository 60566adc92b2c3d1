#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/paramImage.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <locale>
#include <sstream>
#include <vector>

namespace {

std::vector<glueProfile_t> defaultProfiles() {
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(getDefaultParameterTable()), true),
                    true);
    return profiles;
}

// n profiles of 12 drops (keys 100 mm apart).
std::vector<glueProfile_t> manyProfiles(int n) {
    std::vector<glueProfile_t> profiles;
    for (int p = 0; p < n; ++p) {
        glueProfile_t profile;
        profile.key = (p + 1) * 10000000;
        for (int d = 0; d < 12; ++d)
            profile.drops.push_back({d * 20000000, 500000 + d * 1000});
        profiles.push_back(profile);
    }
    return profiles;
}

} // namespace

TEST(glueProfile, defaultTableIsCompact696BytesOf21Profiles) {
    const std::vector<glueProfile_t> profiles = defaultProfiles();
    ASSERT_EQ(profiles.size(), 21u);
    EXPECT_EQ(profiles[0].key, 90000000);
    EXPECT_EQ(profiles[0].drops, (std::vector<glueDrop_t>{{0, 1190000}, {20000000, 317000}}));
    EXPECT_EQ(profiles[1].drops,
              (std::vector<glueDrop_t>{{0, 1190000}, {20000000, 507000}, {40000000, 238000}}));
    EXPECT_EQ(profiles[20].key, 292000000);
    EXPECT_EQ(profiles[19].drops.size(), 12u);
    EXPECT_EQ(profiles[20].drops.size(), 12u);

    // Packed again: 696 bytes, count 21, the same bytes as the record.
    parameterMemory_t image{};
    ASSERT_TRUE(packGlueTable(profiles, glueRegionOf(std::span<std::int32_t>(image), true), true));
    EXPECT_EQ(glueBytesUsed(glueRegionOf(std::span<const std::int32_t>(image), true), true), 696);
    EXPECT_EQ(paramImage::getU16(image, 640 + 2), 21);
    for (int w = 160; w < 334; ++w)
        EXPECT_EQ(image[w], getDefaultParameterTable()[w]) << "word " << w;
}

TEST(glueProfile, bothFormsRoundTrip) {
    std::vector<glueProfile_t> profiles = defaultProfiles();
    profiles.push_back(glueProfile_t{300000000, {{12345678, 1234567}, {-20000, -3000}}});
    for (bool compact : {true, false}) {
        SCOPED_TRACE(compact);
        parameterMemory_t image{};
        ASSERT_TRUE(packGlueTable(profiles, glueRegionOf(std::span<std::int32_t>(image), compact), compact));
        std::vector<glueProfile_t> back;
        unpackGlueTable(back, glueRegionOf(std::span<const std::int32_t>(image), compact), compact);
        ASSERT_EQ(back.size(), profiles.size());
        for (std::size_t i = 0; i + 1 < profiles.size(); ++i)
            EXPECT_EQ(back[i], profiles[i]);
        if (compact) {
            // 10-micron positions and micron amounts, the negative ones as
            // their low 16 bits.
            EXPECT_EQ(back.back().drops[0], (glueDrop_t{12340000, 1234000}));
            EXPECT_EQ(back.back().drops[1], (glueDrop_t{65534 * 10000, 65533 * 1000}));
        } else {
            EXPECT_EQ(back.back(), profiles.back());
        }
    }
}

TEST(glueProfile, listTooLargeLeavesAConsistentTable) {
    // 40 profiles of 12 drops need 2080 bytes compact, 4000 full.
    const std::vector<glueProfile_t> profiles = manyProfiles(40);
    struct form_t {
        bool compact;
        int fitted; // profiles that fit
        int used;   // bytes used by them
    };
    // Compact: 4 + 19 * 52 = 992 (the 20th would reach 1044 > 1023).
    // Full: 8 + 5 * 104 = 528 ... 8 + 19 * 104 = 1984 (the 20th reaches 2088 > 2044).
    for (const form_t form : {form_t{true, 19, 4 + 19 * 52}, form_t{false, 19, 8 + 19 * 104}}) {
        SCOPED_TRACE(form.compact);
        parameterMemory_t image = getDefaultParameterTable();
        const parameterMemory_t before = image;
        std::span<std::int32_t> region = glueRegionOf(std::span<std::int32_t>(image), form.compact);
        EXPECT_FALSE(packGlueTable(profiles, region, form.compact));
        EXPECT_EQ(glueBytesUsed(region, form.compact), form.used);
        std::vector<glueProfile_t> back;
        unpackGlueTable(back, region, form.compact);
        ASSERT_EQ(static_cast<int>(back.size()), form.fitted);
        for (int i = 0; i < form.fitted; ++i)
            EXPECT_EQ(back[i].key, profiles[i].key);
        // Nothing beyond the bytes used is touched (the factory values there).
        for (int w = 160 + form.used / 4; w < 1024; ++w)
            EXPECT_EQ(image[w], before[w]) << "word " << w;
    }
}

TEST(glueProfile, unpackNeverLeavesTheRegion) {
    struct case_t {
        const char* name;
        bool compact;
        std::vector<std::int32_t> words; // from word 160
        std::size_t profiles;
    };
    const case_t cases[] = {
        // Full form: a negative drop count stops the table there.
        {"negative n", false, {0, 3, 90000000, 1, 0, 1190000, 100000000, -5, 0, 0}, 1},
        {"count far beyond the data", false, {0, 2000000000, 5, 0}, 254},
        {"drops past the region", false, {0, 1, 5, 300}, 0},
        // Compact form: a profile that would end at byte 1024 is cut.
        {"compact ends at 1024", true,
         [] {
             std::vector<std::int32_t> w(256, 0);
             w[0] = 0 | (2 << 16);      // count 2
             w[1] = 9000 | (1 << 16);   // key 90 mm, 1 drop
             w[2] = 0;                  // (0, 0)
             w[3] = 9100 | (251 << 16); // 251 drops: 12 + 4 + 1004 = 1020 ... ends at 1020
             return w;
         }(),
         2},
        {"compact one more drop", true,
         [] {
             std::vector<std::int32_t> w(256, 0);
             w[0] = 0 | (2 << 16);
             w[1] = 9000 | (1 << 16);
             w[2] = 0;
             w[3] = 9100 | (252 << 16); // would end at byte 1024
             return w;
         }(),
         1},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        parameterMemory_t image{};
        std::copy(c.words.begin(), c.words.end(), image.begin() + 160);
        std::vector<glueProfile_t> profiles{glueProfile_t{1, {}}};
        unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(image), c.compact), c.compact);
        EXPECT_EQ(profiles.size(), c.profiles);
    }
    // A region clipped by a short image (11 words) is never read past its
    // end: the fifth header would lie across it.
    std::vector<std::int32_t> shortImage(171, 0);
    shortImage[161] = 1000;
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(shortImage), false), false);
    EXPECT_EQ(profiles.size(), 4u);
}

TEST(glueProfile, textFormAndReading) {
    const glueProfile_t ninety{90000000, {{0, 1190000}, {20000000, 317000}}};
    EXPECT_EQ(ninety.text(), " 0 1190000 20000000 317000 , 90000000");
    EXPECT_EQ((glueProfile_t{5, {}}).text(), " , 5");

    struct case_t {
        const char* text;
        bool readable;
        glueProfile_t profile;
    };
    const case_t cases[] = {
        {" 0 1190000 20000000 317000 , 90000000", true, ninety},
        {" 0 1190000\n 20000000\n317000\n,\n90000000", true, ninety}, // over line ends
        {" , 5", true, glueProfile_t{5, {}}},
        {" 1 2 3 , 7", true, glueProfile_t{7, {{1, 2}}}}, // an odd number is dropped
        {" 1 2 ; 7", false, {}},
        {" 1 2 , x", false, {}},
        {" 1 2", false, {}},
        {"", false, {}},
        {"Lines Starting Speed", false, {}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        in.imbue(std::locale::classic());
        glueProfile_t profile;
        EXPECT_EQ(profile.read(in), c.readable);
        if (c.readable) {
            EXPECT_EQ(profile, c.profile);
        }
    }

    // The file section: read until one fails, sorted by key, packed.
    std::istringstream in(" 2 3 , 200000000\n 0 1 , 100000000\nnot a profile\n");
    in.imbue(std::locale::classic());
    parameterMemory_t image{};
    std::vector<glueProfile_t> read;
    EXPECT_TRUE(readGlueProfiles(in, read, image, false));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].key, 100000000);
    EXPECT_EQ(image[161], 2);
    EXPECT_TRUE(in.good());
    std::ostringstream out;
    writeGlueProfiles(out, image, false);
    EXPECT_EQ(out.str(), " 0 1 , 100000000\n 2 3 , 200000000\n");
}

class glueTableTest : public prefixTest {};

// The device copies its whole glue region out and back in the form of the
// machine's embedded version, byte for byte as the machine stores it.
TEST_F(glueTableTest, wholeRegionInTheFormOfTheEmbeddedVersion) {
    // No version known: compact, 1024 bytes; the default table's header and
    // its 90-mm profile (9000, 2 drops: (0, 1190), (2000, 317)).
    scriptedDevice_t compactDevice;
    std::vector<std::uint8_t> table;
    compactDevice.getGlueTable(table);
    ASSERT_EQ(table.size(), 1024u);
    EXPECT_EQ(std::vector<std::uint8_t>(table.begin(), table.begin() + 16),
              (std::vector<std::uint8_t>{0xB8, 0x02, 0x15, 0x00, 0x28, 0x23, 0x02, 0x00, 0x00, 0x00, 0xA6, 0x04, 0xD0,
                                         0x07, 0x3D, 0x01}));
    // Into another image: words 160 to 415 and nothing around them.
    parameterMemory_t image;
    image.fill(-1);
    ASSERT_TRUE(compactDevice.setGlueTable(table, image.data()));
    EXPECT_EQ(image[159], -1);
    EXPECT_EQ(image[416], -1);
    for (int w = 160; w < 416; ++w)
        ASSERT_EQ(image[w], getDefaultParameterTable()[w]) << "word " << w;
    EXPECT_FALSE(compactDevice.setGlueTable(std::vector<std::uint8_t>(2048, 0), image.data()));

    // Below version 1120: the full form, 2048 bytes of int32 fields. One
    // profile of 90 mm with drops (0, 1190000) and (20000000, 317000) in 32 bytes.
    scriptedDevice_t fullDevice;
    fullDevice.deliver(packetFrom([] {
        std::vector<std::uint8_t> info(53, 0);
        info[0] = 11;
        le::putU16(&info[1 + 6], 1119);
        return info;
    }()));
    fullDevice.step();
    ASSERT_FALSE(fullDevice.isEmbeddedVersionAtLeast1120());
    std::vector<std::uint8_t> full(2048, 0);
    const std::uint8_t profile[32] = {0x20, 0, 0, 0, 1, 0, 0, 0, 0x80, 0x4A, 0x5D, 0x05, 2, 0, 0, 0,
                                      0, 0, 0, 0, 0x70, 0x28, 0x12, 0, 0x00, 0x2D, 0x31, 0x01, 0x48, 0xD6, 0x04, 0};
    std::copy(std::begin(profile), std::end(profile), full.begin());
    full[2047] = 0x7F;  // the region's last byte
    EXPECT_FALSE(fullDevice.setGlueTable(table));  // a compact-sized region
    ASSERT_TRUE(fullDevice.setGlueTable(full));
    std::vector<std::int32_t> memory(1024);
    fullDevice.getParameterMemory(memory.data());
    EXPECT_EQ(std::vector<std::int32_t>(memory.begin() + 160, memory.begin() + 168),
              (std::vector<std::int32_t>{32, 1, 90000000, 2, 0, 1190000, 20000000, 317000}));
    EXPECT_EQ(memory[671], 0x7F000000);
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(memory), false), false);
    EXPECT_EQ(profiles, (std::vector<glueProfile_t>{{90000000, {{0, 1190000}, {20000000, 317000}}}}));
    std::vector<std::uint8_t> back;
    fullDevice.getGlueTable(back);
    EXPECT_EQ(back, full);
}
