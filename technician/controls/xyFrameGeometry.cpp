#include "technician/controls/xyFrameGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncates towards zero into the int range; NaN gives 0.
int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double limit = 1e9;
    return static_cast<int>(std::trunc(std::clamp(value, -limit, limit)));
}

std::int32_t truncToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    const double low = std::numeric_limits<std::int32_t>::min();
    const double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::trunc(std::clamp(value, low, high)));
}

}  // namespace

xyPoint_t xyMarkerCentre(double xMm, double yMm, std::int32_t maxXnm, std::int32_t maxYnm, int w, int h)
{
    int x = 5;
    int y = 5;
    if (maxXnm > 0 && maxYnm > 0 && w > 0 && h > 0) {
        const double maxXmm = maxXnm / 1000000.0;
        const double maxYmm = maxYnm / 1000000.0;
        x = truncToInt(xMm * w / maxXmm);
        y = truncToInt(h / maxYmm * yMm);
        if (x < 10)
            x = 5;
        if (y < 10)
            y = 5;
        x = std::min(x, w - 10);
    }
    return {x, h - std::min(h - 10, y)};
}

std::optional<xyTarget_t> xyClickTarget(int x, int yFromBottom, std::int32_t maxXnm, std::int32_t maxYnm, int w,
                                        int h)
{
    if (maxXnm <= 0 || maxYnm <= 0 || w <= 0 || h <= 0)
        return std::nullopt;
    const double nmPerPixelX = static_cast<double>(maxXnm) / w;
    const double nmPerPixelY = static_cast<double>(maxYnm) / h;
    return xyTarget_t{truncToInt32(x * nmPerPixelX), truncToInt32(yFromBottom * nmPerPixelY)};
}
