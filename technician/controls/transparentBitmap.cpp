#include "technician/controls/transparentBitmap.h"

#include "machine/qt/bitmapFunctions.h"
#include "technician/resourceImages.h"

#include <QPainter>

transparentBitmap_t::transparentBitmap_t(QWidget* parent, int bitmapId) : QWidget(parent)
{
    if (bitmapId != 0)
        setBitmap(loadBitmapResource(bitmapId));
}

transparentBitmap_t::~transparentBitmap_t() = default;

void transparentBitmap_t::setBitmap(const QPixmap& bitmap)
{
    bitmap_ = bitmap;
    if (!hasMask_ && !bitmap_.isNull())
        hasMask_ = makeMaskBitmap(bitmap_, mask_);
    update();
}

QSize transparentBitmap_t::sizeHint() const
{
    return bitmap_.isNull() ? QSize(16, 16) : bitmap_.size();
}

void transparentBitmap_t::paintEvent(QPaintEvent*)
{
    if (bitmap_.isNull())
        return;
    QPainter painter(this);
    if (hasMask_)
        drawTransparentBitmap(painter, bitmap_, mask_, 0, 0);
    else
        painter.drawPixmap(0, 0, bitmap_);
}
