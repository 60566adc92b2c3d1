#include "technician/resourceImages.h"

#include <QFile>
#include <QString>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void initResourcesOnce()
{
    Q_INIT_RESOURCE(technician);
}

void initTechnicianResources()
{
    static const bool done = (initResourcesOnce(), true);
    (void)done;
}

QPixmap loadBitmapResource(int id)
{
    initTechnicianResources();
    return QPixmap(QStringLiteral(":/tovrik/bmp/%1").arg(id));
}

QIcon loadIconResource(int id)
{
    initTechnicianResources();
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        const QString path = QStringLiteral(":/tovrik/icon/%1-%2").arg(id).arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}
