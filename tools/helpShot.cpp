// Shows topics of a built help file in the help window and saves a picture
// of each as the window shows it, or with --whole the whole topic at the
// window's width, to read them as a technician sees them.
//
//     cmake --build <tree> --target technician_help_shot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/tools/helpShot [--whole]
//         <tree>/bin/Tovrik.chm <out folder> <topic>...
//
// Each picture is named after its topic, separators replaced by "-".
#include "technician/help/helpViewer.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "C");
    const bool whole = argc > 1 && std::string(argv[1]) == "--whole";
    const int first = whole ? 2 : 1;
    if (argc < first + 3) {
        std::fprintf(stderr, "usage: helpShot [--whole] <help file> <out folder> <topic>...\n");
        return 2;
    }
    const std::wstring file = L"Z:" + QDir(QString::fromLocal8Bit(argv[first])).absolutePath().toStdWString();
    const QString out = QString::fromLocal8Bit(argv[first + 1]);
    helpViewer_t viewer;
    int failed = 0;
    for (int i = first + 2; i < argc; ++i) {
        const QString topic = QString::fromLocal8Bit(argv[i]);
        if (!viewer.showTopic(file, topic.toStdWString())) {
            std::fprintf(stderr, "cannot read %s\n", argv[first]);
            return 1;
        }
        QApplication::processEvents();
        viewer.resize(720, 560);
        if (whole) {
            viewer.resize(720, std::min(8000, static_cast<int>(viewer.document()->size().height()) + 8));
            QApplication::processEvents();
        }
        QString name = topic;
        name.replace(QLatin1Char('\\'), QLatin1Char('-')).replace(QLatin1Char('/'), QLatin1Char('-'));
        name.replace(QLatin1String(".htm"), QLatin1String(".png"));
        if (!viewer.grab().save(out + QLatin1Char('/') + name))
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
