#include "platform/qt/screenshot.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

bool saveScreenshot(QWidget* widget, const std::string& pngPath)
{
    if (widget == nullptr)
        return false;
    const QPixmap picture = widget->grab();
    return !picture.isNull() && picture.save(QString::fromStdString(pngPath), "PNG");
}
