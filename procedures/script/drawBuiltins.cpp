#include "procedures/script/drawBuiltins.h"

#include "machine/littleEndian.h"
#include "procedures/script/scriptMachine.h"
#include "procedures/script/unitConversion.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace {

constexpr std::uint8_t absoluteXYMoveCode = 135;
constexpr std::uint8_t arcCode = 136;
constexpr std::uint8_t penCode = 150;

void pen(bool down)
{
    scriptMachine_t::wait(penCode, scriptMachine_t::byteField, down ? 1 : 0);
}

const double degreesToRadians = std::atan2(0.0, -1.0) / 180.0;

struct point_t {
    double x = 0.0;
    double y = 0.0;
};

// p + length in the direction of the angle (degrees).
point_t step(point_t p, double length, double degrees)
{
    const double radians = degrees * degreesToRadians;
    return {p.x + length * std::cos(radians), p.y + length * std::sin(radians)};
}

// A corner's coordinate as the machine takes it: truncated toward zero. One
// that does not fit 32 bits is refused like any other length out of range.
std::int32_t coordinate(double value)
{
    const double truncated = std::trunc(value);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0))
        throw std::runtime_error("length out of range");
    return static_cast<std::int32_t>(truncated);
}

}  // namespace

std::int32_t penUP_t::exec()
{
    pen(false);
    return 0;
}

std::int32_t penDOWN_t::exec()
{
    pen(true);
    return 0;
}

std::int32_t arc_t::exec()
{
    // int32 radius, then the two angles' low 16 bits, unconverted.
    std::array<std::uint8_t, 8> payload{};
    le::putU32(&payload[0], static_cast<std::uint32_t>(unitsToMachine(argument(0), axisX_e)));
    le::putU16(&payload[4], static_cast<std::uint32_t>(argument(1)));
    le::putU16(&payload[6], static_cast<std::uint32_t>(argument(2)));
    scriptMachine_t::waitData(arcCode, payload.data(), static_cast<std::int32_t>(payload.size()));
    return 0;
}

std::int32_t drawRectWithAngle_t::exec()
{
    const double w = unitsToMachine(argument(0), axisX_e);
    const double length = unitsToMachine(argument(1), axisX_e);
    const double angle = argument(2);
    const double x0 = unitsToMachine(argument(3), axisX_e);
    const double y0 = unitsToMachine(argument(4), axisY_e);
    const double offset = unitsToMachine(argument(5), axisX_e);

    // The side of width w is centred at the offset from (x0, y0) along the
    // angle; the long sides run from there along the angle.
    std::array<point_t, 5> corners;
    const point_t start = step({x0, y0}, offset, angle);
    corners[0] = step(start, w / 2, angle + 90);
    corners[1] = step(corners[0], length, angle);
    corners[2] = step(corners[1], w, angle - 90);
    corners[3] = step(corners[2], length, angle + 180);
    corners[4] = step(corners[3], w, angle + 90);

    // Every corner is checked before the pen moves at all.
    std::array<std::array<std::int32_t, 2>, 5> sent;
    for (std::size_t i = 0; i < corners.size(); ++i)
        sent[i] = {coordinate(corners[i].x), coordinate(corners[i].y)};

    const auto moveTo = [](const std::array<std::int32_t, 2>& p) {
        scriptMachine_t::wait(absoluteXYMoveCode, scriptMachine_t::int32Field, p[0], scriptMachine_t::int32Field, p[1]);
    };
    moveTo(sent[0]);
    pen(true);
    for (std::size_t i = 1; i < sent.size(); ++i)
        moveTo(sent[i]);
    pen(false);
    return 0;
}
