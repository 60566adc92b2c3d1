#include "machine/glueProfile.h"

#include "machine/machineParam.h"
#include "machine/paramImage.h"
#include "machine/textUtils.h"
#include "machine/wstr.h"

#include <algorithm>
#include <cstddef>
#include <vector>

std::string glueProfile_t::text() const {
    wstr_t line;
    for (const glueDrop_t& drop : drops)
        line << L" " << drop.position << L" " << drop.amount;
    line << L" , " << key;
    return wstrToStr(line);
}

bool glueProfile_t::read(std::istream& in) {
    glueProfile_t profile;
    std::int32_t position = 0;
    std::int32_t amount = 0;
    while (in >> position >> amount)
        profile.drops.push_back({position, amount});
    if (in.bad())
        return false;
    in.clear();
    char comma = 0;
    if (!(in >> comma))
        return false;
    if (comma != ',') {
        in.setstate(std::ios_base::failbit);
        return false;
    }
    if (!(in >> profile.key))
        return false;
    *this = std::move(profile);
    return true;
}

std::span<std::int32_t> glueRegionOf(std::span<std::int32_t> image, bool compact) {
    const std::size_t start = paramLayout::glueTableWord;
    if (image.size() <= start)
        return {};
    return image.subspan(start, std::min<std::size_t>(image.size() - start, glueRegionBytes(compact) / 4));
}

std::span<const std::int32_t> glueRegionOf(std::span<const std::int32_t> image, bool compact) {
    const std::size_t start = paramLayout::glueTableWord;
    if (image.size() <= start)
        return {};
    return image.subspan(start, std::min<std::size_t>(image.size() - start, glueRegionBytes(compact) / 4));
}

namespace {

void putU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Usable size of a region in bytes: the form's size, or less when the image
// ends earlier.
std::size_t usableBytes(std::size_t regionWords, bool compact) {
    return std::min<std::size_t>(regionWords * 4, glueRegionBytes(compact));
}

} // namespace

bool packGlueTable(const std::vector<glueProfile_t>& profiles, std::span<std::int32_t> region, bool compact) {
    const std::size_t size = usableBytes(region.size(), compact);
    const std::size_t headerBytes = compact ? 4 : 8;
    if (size < headerBytes)
        return profiles.empty();
    // Built apart and committed whole, so that count and bytes used always
    // agree, also when the list does not fit.
    std::vector<std::uint8_t> packed(size, 0);
    std::size_t used = headerBytes;
    std::uint32_t count = 0;
    bool complete = true;
    for (const glueProfile_t& profile : profiles) {
        const std::size_t n = profile.drops.size();
        const std::size_t need = compact ? 4 + 4 * n : 8 + 8 * n;
        // The last byte (compact) or word (full) of the region stays free.
        const std::size_t limit = compact ? size - 1 : size - 4;
        if (used + need > limit) {
            complete = false;
            break;
        }
        if (compact) {
            putU16(packed, used, static_cast<std::uint32_t>(profile.key / 10000));
            putU16(packed, used + 2, static_cast<std::uint32_t>(n));
            std::size_t at = used + 4;
            for (const glueDrop_t& drop : profile.drops) {
                putU16(packed, at, static_cast<std::uint32_t>(drop.position / 10000));
                putU16(packed, at + 2, static_cast<std::uint32_t>(drop.amount / 1000));
                at += 4;
            }
        } else {
            putI32(packed, used, profile.key);
            putI32(packed, used + 4, static_cast<std::int32_t>(n));
            std::size_t at = used + 8;
            for (const glueDrop_t& drop : profile.drops) {
                putI32(packed, at, drop.position);
                putI32(packed, at + 4, drop.amount);
                at += 8;
            }
        }
        used += need;
        ++count;
    }
    if (compact) {
        putU16(packed, 0, static_cast<std::uint32_t>(used));
        putU16(packed, 2, count);
    } else {
        putI32(packed, 0, static_cast<std::int32_t>(used));
        putI32(packed, 4, static_cast<std::int32_t>(count));
    }
    paramImage::copyIn(region, 0, packed.data(), used);
    return complete;
}

void unpackGlueTable(std::vector<glueProfile_t>& profiles, std::span<const std::int32_t> region,
                     bool compact) {
    profiles.clear();
    const std::size_t size = usableBytes(region.size(), compact);
    if (compact) {
        if (size < 4)
            return;
        const std::uint32_t count = paramImage::getU16(region, 2);
        std::size_t at = 4;
        for (std::uint32_t k = 0; k < count; ++k) {
            if (at + 4 > size)
                return;
            const std::size_t n = paramImage::getU16(region, at + 2);
            const std::size_t end = at + 4 + 4 * n;
            if (end >= size)
                return;
            glueProfile_t profile;
            profile.key = static_cast<std::int32_t>(paramImage::getU16(region, at)) * 10000;
            profile.drops.reserve(n);
            for (std::size_t d = 0; d < n; ++d) {
                const std::size_t pair = at + 4 + 4 * d;
                profile.drops.push_back(
                    {static_cast<std::int32_t>(paramImage::getU16(region, pair)) * 10000,
                     static_cast<std::int32_t>(paramImage::getU16(region, pair + 2)) * 1000});
            }
            profiles.push_back(std::move(profile));
            at = end;
        }
    } else {
        const std::size_t words = size / 4;
        if (words < 2)
            return;
        const std::int32_t count = region[1];
        std::size_t at = 2;
        for (std::int32_t k = 0; k < count; ++k) {
            if (at + 2 > words)
                return;
            const std::int32_t n = region[at + 1];
            if (n < 0)
                return;
            const std::uint64_t end = at + 2 + 2 * static_cast<std::uint64_t>(n);
            if (end >= words)
                return;
            glueProfile_t profile;
            profile.key = region[at];
            profile.drops.reserve(static_cast<std::size_t>(n));
            for (std::int32_t d = 0; d < n; ++d) {
                const std::size_t pair = at + 2 + 2 * static_cast<std::size_t>(d);
                profile.drops.push_back({region[pair], region[pair + 1]});
            }
            profiles.push_back(std::move(profile));
            at = static_cast<std::size_t>(end);
        }
    }
}

std::int32_t glueBytesUsed(std::span<const std::int32_t> region, bool compact) {
    if (region.empty())
        return 0;
    return compact ? paramImage::getU16(region, 0) : region[0];
}

bool readGlueProfiles(std::istream& in, std::vector<glueProfile_t>& profiles, std::span<std::int32_t> image,
                      bool compact) {
    profiles.clear();
    glueProfile_t profile;
    while (profile.read(in))
        profiles.push_back(profile);
    in.clear();
    std::stable_sort(profiles.begin(), profiles.end());
    packGlueTable(profiles, glueRegionOf(image, compact), compact);
    return !profiles.empty();
}

void writeGlueProfiles(std::ostream& out, std::span<const std::int32_t> image, bool compact) {
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(image, compact), compact);
    for (const glueProfile_t& profile : profiles)
        out << profile.text() << '\n';
}
