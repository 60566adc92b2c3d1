// Where the XY picker draws the head and which target a click asks for.
#include "technician/controls/xyFrameGeometry.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t maxX = 260000000;  // nanometres
constexpr std::int32_t maxY = 392000000;

struct markerCase_t {
    double xMm, yMm;
    std::int32_t maxX, maxY;
    int w, h;
    xyPoint_t centre;
};

class XyFrameMarker : public ::testing::TestWithParam<markerCase_t> {};

TEST_P(XyFrameMarker, Centre)
{
    const markerCase_t& c = GetParam();
    EXPECT_EQ(xyMarkerCentre(c.xMm, c.yMm, c.maxX, c.maxY, c.w, c.h), c.centre)
        << c.xMm << "," << c.yMm << " in " << c.w << "x" << c.h;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, XyFrameMarker,
    ::testing::Values(
        // Mid-table: 130 mm of 260 over 130 pixels is 65; 196 mm of 392 over 196 is 98 up.
        markerCase_t{130, 196, maxX, maxY, 130, 196, {65, 98}},
        // The head at 0 is drawn at 5, not at 0, both ways.
        markerCase_t{0, 0, maxX, maxY, 130, 196, {5, 191}},
        markerCase_t{-20, -3, maxX, maxY, 130, 196, {5, 191}},
        // Beyond the maximum: 10 pixels from the right and top edges.
        markerCase_t{400, 900, maxX, maxY, 130, 196, {120, 10}},
        // Just below 10 pixels becomes 5; 10 stays.
        markerCase_t{19, 19, maxX, maxY, 130, 196, {5, 191}},
        markerCase_t{20, 20, maxX, maxY, 130, 196, {10, 186}},
        // Unusable maxima or size: the minimum, and no division by zero.
        markerCase_t{130, 196, 0, maxY, 130, 196, {5, 191}},
        markerCase_t{130, 196, maxX, 0, 130, 196, {5, 191}},
        markerCase_t{130, 196, -5, -5, 130, 196, {5, 191}},
        markerCase_t{130, 196, maxX, maxY, 0, 0, {5, 10}},
        markerCase_t{1e300, -1e300, 1, 1, 130, 196, {120, 191}}));

struct clickCase_t {
    int x, yFromBottom;
    std::int32_t maxX, maxY;
    int w, h;
    bool sends;
    xyTarget_t target;
};

class XyFrameClick : public ::testing::TestWithParam<clickCase_t> {};

TEST_P(XyFrameClick, Target)
{
    const clickCase_t& c = GetParam();
    const std::optional<xyTarget_t> target = xyClickTarget(c.x, c.yFromBottom, c.maxX, c.maxY, c.w, c.h);
    ASSERT_EQ(target.has_value(), c.sends);
    if (c.sends) {
        EXPECT_EQ(target->x, c.target.x);
        EXPECT_EQ(target->y, c.target.y);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, XyFrameClick,
    ::testing::Values(clickCase_t{65, 98, maxX, maxY, 130, 196, true, {130000000, 196000000}},
                      clickCase_t{0, 0, maxX, maxY, 130, 196, true, {0, 0}},
                      clickCase_t{130, 196, maxX, maxY, 130, 196, true, {maxX, maxY}},
                      // 260 mm over 200 pixels: 1.3 mm a pixel, truncated.
                      clickCase_t{3, 7, maxX, maxY, 200, 300, true, {3900000, 9146666}},
                      clickCase_t{65, 98, 0, maxY, 130, 196, false, {}},
                      clickCase_t{65, 98, maxX, -1, 130, 196, false, {}},
                      clickCase_t{65, 98, maxX, maxY, 0, 196, false, {}},
                      clickCase_t{65, 98, maxX, maxY, 130, 0, false, {}}));

}  // namespace
