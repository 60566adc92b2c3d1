#include "platform/qt/qtBeep.h"

#include <QApplication>
#include <QThread>

void qtBeep()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return;
    if (QThread::currentThread() == app->thread())
        QApplication::beep();
    else
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}
