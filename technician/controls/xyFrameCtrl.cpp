#include "technician/controls/xyFrameCtrl.h"

#include "machine/currentDevice.h"
#include "machine/machineParam.h"
#include "machine/qvrCommDev.h"
#include "platform/qt/colorref.h"
#include "technician/controls/xyFrameGeometry.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int workAreaBitmapId = 146;
constexpr int maxXIndex = 74;
constexpr int maxYIndex = 75;
constexpr COLORREF markerColour = 0xffff;  // yellow

struct xyLimits_t {
    std::int32_t maxX = 0;
    std::int32_t maxY = 0;
};

xyLimits_t readLimits(qvrCommDev_t& device)
{
    xyLimits_t limits;
    lockGuard_t guard(device.getLock());
    if (const machineParam_t* maxX = findParameter(maxXIndex, L"Max X position"))
        limits.maxX = device.getParamValue(*maxX);
    if (const machineParam_t* maxY = findParameter(maxYIndex, L"Max Y position"))
        limits.maxY = device.getParamValue(*maxY);
    return limits;
}

}  // namespace

xyFrameCtrl_t::xyFrameCtrl_t(QWidget* parent) : QWidget(parent), picture_(loadBitmapResource(workAreaBitmapId))
{
    setCursor(Qt::CrossCursor);
}

QSize xyFrameCtrl_t::sizeHint() const
{
    return picture_.isNull() ? QSize(130, 196) : picture_.size();
}

QRect xyFrameCtrl_t::markerRect() const
{
    const int w = width();
    const int h = height();
    xyPoint_t centre{5, h - 5};
    if (qvrCommDev_t* device = getCurrentDevice()) {
        const machineStatus_t status = device->getStatus();
        const double xMm = device->axisStepsToMm(0, status.xPosition());
        const double yMm = device->axisStepsToMm(1, status.yPosition());
        const xyLimits_t limits = readLimits(*device);
        centre = xyMarkerCentre(xMm, yMm, limits.maxX, limits.maxY, w, h);
    }
    return QRect(centre.x - 5, centre.y - 5, 10, 10);
}

void xyFrameCtrl_t::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!picture_.isNull())
        painter.drawPixmap(rect(), picture_);
    painter.setPen(Qt::black);
    painter.setBrush(colorrefToColor(markerColour));
    painter.drawRect(markerRect().adjusted(0, 0, -1, -1));
}

void xyFrameCtrl_t::clickAt(const QPoint& position)
{
    qvrCommDev_t* device = getCurrentDevice();
    if (device == nullptr)
        return;
    const xyLimits_t limits = readLimits(*device);
    const std::optional<xyTarget_t> target =
        xyClickTarget(position.x(), height() - position.y(), limits.maxX, limits.maxY, width(), height());
    if (!target)
        return;
    tovrikApp().sendCommandIfReady(135, 4, target->x, 4, target->y);
    update();
}

void xyFrameCtrl_t::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        clickAt(event->position().toPoint());
    QWidget::mousePressEvent(event);
}
