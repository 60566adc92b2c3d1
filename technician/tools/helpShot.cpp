// Shows topics of a built help file in the help window and saves a picture
// of each, the whole topic at the window's width, to read them as a
// technician sees them.
//
//     cmake --build <tree> --target technician_help_shot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/technician/helpShot <tree>/bin/Tovrik.chm out-folder topic...
//
// Each picture is named after its topic, separators replaced by "-".
#include "technician/helpViewer.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <algorithm>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C");
    if (argc < 4) {
        std::fprintf(stderr, "usage: helpShot <help file> <out folder> <topic>...\n");
        return 2;
    }
    const std::wstring file = L"Z:" + QDir(QString::fromLocal8Bit(argv[1])).absolutePath().toStdWString();
    const QString out = QString::fromLocal8Bit(argv[2]);
    helpViewer_t viewer;
    int failed = 0;
    for (int i = 3; i < argc; ++i) {
        const QString topic = QString::fromLocal8Bit(argv[i]);
        if (!viewer.showTopic(file, topic.toStdWString())) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        QApplication::processEvents();
        // The whole topic in one picture.
        viewer.resize(720, 560);
        viewer.resize(720, std::min(8000, static_cast<int>(viewer.document()->size().height()) + 8));
        QApplication::processEvents();
        QString name = topic;
        name.replace(QLatin1Char('\\'), QLatin1Char('-')).replace(QLatin1Char('/'), QLatin1Char('-'));
        name.replace(QLatin1String(".htm"), QLatin1String(".png"));
        if (!viewer.grab().save(out + QLatin1Char('/') + name))
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
