// Draws the installer's icon (resource 128) into resources/installer/icon/ at
// 16, 32 and 48 pixels: a package box with an arrow going into it. Run once
// after changing the picture and commit the PNG files; the build only reads
// them.
//
//     cmake --build <tree> --target installer_draw_icon
//     <tree>/installer/drawInstallerIcon resources/installer
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);

    // The box: front and top faces.
    const QPolygonF front({QPointF(8, 22), QPointF(40, 22), QPointF(40, 44), QPointF(8, 44)});
    const QPolygonF top({QPointF(8, 22), QPointF(14, 15), QPointF(34, 15), QPointF(40, 22)});
    QLinearGradient cardboard(0, 22, 0, 44);
    cardboard.setColorAt(0, QColor(214, 168, 104));
    cardboard.setColorAt(1, QColor(176, 128, 68));
    p.setPen(QPen(QColor(96, 64, 28), 1.5));
    p.setBrush(cardboard);
    p.drawPolygon(front);
    p.setBrush(QColor(120, 84, 40));
    p.drawPolygon(top);
    // Tape across the front.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 214, 170));
    p.drawRect(QRectF(21, 22, 6, 22));

    // The arrow coming down into the box.
    QPainterPath arrow;
    arrow.moveTo(20, 2);
    arrow.lineTo(28, 2);
    arrow.lineTo(28, 16);
    arrow.lineTo(34, 16);
    arrow.lineTo(24, 28);
    arrow.lineTo(14, 16);
    arrow.lineTo(20, 16);
    arrow.closeSubpath();
    QLinearGradient blue(0, 2, 0, 28);
    blue.setColorAt(0, QColor(80, 150, 240));
    blue.setColorAt(1, QColor(20, 80, 190));
    p.setPen(QPen(QColor(10, 40, 110), 1.5));
    p.setBrush(blue);
    p.drawPath(arrow);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawInstallerIcon <resources/installer>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("icon"));
    for (int size : {16, 32, 48}) {
        const QString path = folder.filePath(QStringLiteral("icon/128-%1.png").arg(size));
        if (!icon(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
