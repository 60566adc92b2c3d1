// Glue profiles: per layer length (the key, nanometres) the drops of glue
// laid along the layer, each a position (nanometres) and an amount
// (nanometres of pump travel).
//
// The machine keeps them packed in the glue region of its parameter memory
// (from byte 640), in one of two forms chosen by its embedded version:
// - compact (1120 and above, 1024 bytes): uint16 fields; bytes used, count,
//   then per profile key / 10000, n, n pairs (position / 10000, amount / 1000);
// - full (below 1120, 2048 bytes): int32 fields; bytes used, count, then per
//   profile key, n, n pairs (position, amount).
// In the compact form the glue region overlaps factory words 384-415; a
// packed table only writes the bytes it uses.
#pragma once
#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <vector>

struct glueDrop_t {
    std::int32_t position = 0;
    std::int32_t amount = 0;
    bool operator==(const glueDrop_t&) const = default;
};

class glueProfile_t {
public:
    std::int32_t key = 0;
    std::vector<glueDrop_t> drops;

    // Profiles are ordered by key alone (smaller key first).
    bool operator<(const glueProfile_t& other) const { return key < other.key; }
    // Same key and same drops.
    bool operator==(const glueProfile_t& other) const = default;

    // The file text: " position amount" per drop, then " , key"
    // (" 0 1190000 20000000 317000 , 90000000").
    std::string text() const;
    // Reads pairs of integers (over blanks and line ends) as long as two can
    // be read, then a ',' and the key. False (profile unreadable) otherwise;
    // the stream is then left failed.
    bool read(std::istream& in);
};

// Bytes of the glue region in a form.
constexpr int glueRegionBytes(bool compact) {
    return compact ? 1024 : 2048;
}
// The glue region of an image (from word 160), clipped to the image's end.
std::span<std::int32_t> glueRegionOf(std::span<std::int32_t> image, bool compact);
std::span<const std::int32_t> glueRegionOf(std::span<const std::int32_t> image, bool compact);

// Packs the profiles, in list order, into the region. When a profile does
// not fit (compact: past byte 1023, full: past word 511, or past the end of
// a clipped region) packing stops there and the result is false; the region
// then holds a consistent table of the profiles that fitted (count and
// bytes used agree). Only the bytes used are written.
bool packGlueTable(const std::vector<glueProfile_t>& profiles, std::span<std::int32_t> region, bool compact);
// Empties the list, then reads the count's profiles; stops at a profile
// whose header or drops would reach the region's end, or whose drop count
// is negative. Never reads outside the region.
void unpackGlueTable(std::vector<glueProfile_t>& profiles, std::span<const std::int32_t> region,
                     bool compact);
// The bytes-used field of a packed table.
std::int32_t glueBytesUsed(std::span<const std::int32_t> region, bool compact);

// The glue section of a parameters file: reads profiles until one cannot be
// read, clears the stream's failure, sorts them by key and packs them into
// the image's glue region. True when at least one profile was read.
bool readGlueProfiles(std::istream& in, std::vector<glueProfile_t>& profiles, std::span<std::int32_t> image,
                      bool compact);
// Writes the image's profiles, one text and a line feed each.
void writeGlueProfiles(std::ostream& out, std::span<const std::int32_t> image, bool compact);
