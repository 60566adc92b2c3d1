// Bitmaps drawn with one colour transparent. The original combined a
// monochrome mask with raster operations; here the mask is a QBitmap and
// the pixmap is drawn through it, which shows the same picture: the
// background where the bitmap has the transparent colour, the bitmap
// elsewhere.
#pragma once
#include <QBitmap>
#include <QColor>
#include <QPixmap>

class QPainter;

// The colour of the pixel at (0, 0), the usual transparent colour; invalid
// for an empty pixmap.
QColor cornerColor(const QPixmap& pixmap);
// A mask of the pixmap's size: transparent where a pixel has the given
// colour, opaque elsewhere.
QBitmap maskFromColor(const QPixmap& pixmap, const QColor& transparent);
// Draws the pixmap at (x, y) through the mask. One mask may serve several
// pixmaps; where a pixmap reaches beyond its mask, it is transparent.
void drawMasked(QPainter& painter, int x, int y, const QPixmap& pixmap, const QBitmap& mask);
