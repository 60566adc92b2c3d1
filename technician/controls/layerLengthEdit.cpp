#include "technician/controls/layerLengthEdit.h"

#include "machine/currentDevice.h"
#include "machine/qvrCommDev.h"
#include "platform/qt/dlgItem.h"
#include "technician/holdsFocus.h"
#include "technician/lengthEntry.h"
#include "technician/tovrikApp.h"

#include <QFocusEvent>
#include <QRegularExpressionValidator>

namespace {

constexpr std::int32_t nanoPerMm = 1000000;

// The page (a dialog of its own) the edit sits on.
QWidget* pageOf(QWidget* control)
{
    QWidget* page = control->parentWidget();
    while (page != nullptr && dialogId(page) == 0)
        page = page->parentWidget();
    return page;
}

}  // namespace

layerLengthEdit_t::layerLengthEdit_t(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void layerLengthEdit_t::commit()
{
    if (committing_)
        return;
    const std::int32_t mm = layerLengthMm(text().toStdWString());
    if (mm <= 0)
        return;
    committing_ = true;
    qvrCommDev_t* device = getCurrentDevice();
    if (device != nullptr && mm != device->getStatus().layerLength() / nanoPerMm && tovrikApp().makeMachineReady()) {
        device->sendCommandArgs(14, 4, mm * nanoPerMm);
        device->sendCommand(1);
    }
    if (QWidget* page = pageOf(this))
        if (QWidget* feed = dlgItem(page, feedLayerId))
            feed->setFocus(Qt::OtherFocusReason);
    committing_ = false;
}

void layerLengthEdit_t::showLength(std::int32_t layerLengthNm)
{
    if (holdsFocus(this))
        return;
    bool read = false;
    qint64 shown = text().trimmed().toLongLong(&read);
    if (!read)
        shown = 0;
    const std::int32_t mm = layerLengthNm / nanoPerMm;
    if (shown != mm)
        setText(QString::number(mm));
}

void layerLengthEdit_t::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Another window came to the front (a message box, another program) or
    // a context menu opened: the technician has not left the edit, and the
    // focus comes back to it.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    commit();
}
