// The arithmetic of the XY work-area picker: where the head's marker is
// drawn and which head position a click asks for. Computed in double with
// every divisor checked, so a zero or negative "Max X/Y position" (a fresh
// memory, a bad parameters file) or an empty control never divides by zero.
#pragma once
#include <cstdint>
#include <optional>

// The marker's centre in control coordinates (y from the top). The head
// position is in millimetres, the maxima in nanometres, w x h the client
// size. A coordinate below 10 becomes 5, x stays at most w - 10 and y is
// measured from the bottom edge (Y grows upwards), at least 10 from the top.
// Unusable maxima or size put the marker at the minimum (5 from the left,
// 5 from the bottom).
struct xyPoint_t {
    int x = 0;
    int y = 0;
    bool operator==(const xyPoint_t&) const = default;
};
xyPoint_t xyMarkerCentre(double xMm, double yMm, std::int32_t maxXnm, std::int32_t maxYnm, int w, int h);

// The head target in nanometres for a click at (x, yFromBottom) in a w x h
// control; nothing when the maxima or the size are not positive.
struct xyTarget_t {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const xyTarget_t&) const = default;
};
std::optional<xyTarget_t> xyClickTarget(int x, int yFromBottom, std::int32_t maxXnm, std::int32_t maxYnm, int w,
                                        int h);
