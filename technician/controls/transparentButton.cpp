#include "technician/controls/transparentButton.h"

#include "platform/qt/dlgItem.h"
#include "technician/controls/relativeMoveTarget.h"

#include <QMouseEvent>

transparentButton_t::transparentButton_t(QWidget* parent, int bitmapId) : transparentBitmap_t(parent, bitmapId)
{
    setCursor(Qt::PointingHandCursor);
}

void transparentButton_t::onClick()
{
    if (auto* target = dynamic_cast<relativeMoveTarget_t*>(parentWidget()))
        target->moveRelative(ctrlId(this));
}

void transparentButton_t::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        onClick();
    transparentBitmap_t::mousePressEvent(event);
}

// Qt delivers a double click as press, release, double click, release: the
// double click is the second move.
void transparentButton_t::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        onClick();
    else
        transparentBitmap_t::mouseDoubleClickEvent(event);
}
