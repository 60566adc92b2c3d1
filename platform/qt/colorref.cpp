#include "platform/qt/colorref.h"

QColor colorrefToColor(COLORREF colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

COLORREF colorToColorref(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return RGB(rgb.red(), rgb.green(), rgb.blue());
}
