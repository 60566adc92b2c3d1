#include "machine/qt/bitmapFunctions.h"

#include "platform/qt/transparentPixmap.h"

void drawTransparentBitmap(QPainter& dc, const QPixmap& bitmap, const QBitmap& mask, int x, int y)
{
    drawMasked(dc, x, y, bitmap, mask);
}

bool makeMaskBitmap(const QPixmap& bitmap, QBitmap& mask, COLORREF transparent)
{
    if (bitmap.isNull())
        return false;
    const QColor colour = transparent == CLR_INVALID ? cornerColor(bitmap) : colorrefToColor(transparent);
    mask = maskFromColor(bitmap, colour);
    return true;
}
