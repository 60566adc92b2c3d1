// Colours as the system writes them: COLORREF values 0x00BBGGRR (0xe0ffff is
// light yellow, 0x800000 dark blue). Every such literal goes through here;
// QColor(QRgb) would read the same number as 0xAARRGGBB.
#pragma once
#include <QColor>
#include <cstdint>

using COLORREF = std::uint32_t;
// "No colour": what a COLORREF parameter of -1 means.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

constexpr COLORREF RGB(int red, int green, int blue)
{
    return static_cast<COLORREF>(red & 0xFF) | (static_cast<COLORREF>(green & 0xFF) << 8) |
           (static_cast<COLORREF>(blue & 0xFF) << 16);
}

// The top byte of a COLORREF is ignored; the colour is opaque.
QColor colorrefToColor(COLORREF colour);
// The alpha channel is dropped.
COLORREF colorToColorref(const QColor& colour);
