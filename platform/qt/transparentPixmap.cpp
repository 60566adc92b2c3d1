#include "platform/qt/transparentPixmap.h"

#include <QImage>
#include <QPainter>

QColor cornerColor(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return {};
    return pixmap.toImage().pixelColor(0, 0);
}

QBitmap maskFromColor(const QPixmap& pixmap, const QColor& transparent)
{
    if (pixmap.isNull())
        return {};
    return pixmap.createMaskFromColor(transparent, Qt::MaskInColor);
}

void drawMasked(QPainter& painter, int x, int y, const QPixmap& pixmap, const QBitmap& mask)
{
    if (pixmap.isNull())
        return;
    QPixmap masked = pixmap;
    if (mask.size() == pixmap.size()) {
        masked.setMask(mask);
    } else {
        QBitmap fitted(pixmap.size());
        fitted.clear();
        if (!mask.isNull()) {
            QPainter p(&fitted);
            p.drawPixmap(0, 0, mask);
        }
        masked.setMask(fitted);
    }
    painter.drawPixmap(x, y, masked);
}
