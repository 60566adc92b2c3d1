// fileInfo_t: the file the machines server is sending to the machine or
// building ("HASNEWFILESENDER", "FILESENDERINFO"). A plain value type; its
// archive layout lives in link/exchangeArchive.h.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class fileInfo_t {
public:
    static constexpr std::size_t valueCount = 6;
    // The sixth value says whether a file is there at all.
    static constexpr std::size_t presentIndex = 5;

    // Only the server gives the first five a meaning; they start at zero so
    // that a default record never carries stale memory.
    std::array<int32_t, valueCount> values{};

    bool isPresent() const { return values[presentIndex] != 0; }

    bool operator==(const fileInfo_t& other) const = default;
};
