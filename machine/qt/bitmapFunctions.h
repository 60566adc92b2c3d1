// The library's transparent-bitmap helpers on Qt: a bitmap is a QPixmap,
// its mask a QBitmap, the device context the painter that draws.
#pragma once
#include "platform/qt/colorref.h"
#include <QBitmap>
#include <QPixmap>

class QPainter;

// Draws the bitmap at (x, y): the background stays where the mask is
// transparent, the bitmap shows elsewhere.
void drawTransparentBitmap(QPainter& dc, const QPixmap& bitmap, const QBitmap& mask, int x, int y);
// The mask of the bitmap's size, transparent where the bitmap has the
// transparent colour: the given COLORREF, or the colour of the pixel at
// (0, 0) when CLR_INVALID (-1) is given. False for an empty bitmap.
bool makeMaskBitmap(const QPixmap& bitmap, QBitmap& mask, COLORREF transparent = CLR_INVALID);
