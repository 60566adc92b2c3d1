// Draws the technician program's own pictures into resources/technician/:
// the program icon, the communication indicator's two lamps, the picture of
// the layer process, the arrow buttons and the XY work area. Run once after changing a picture and commit
// the PNG files; the build only reads them.
//
//     cmake --build <tree> --target technician_draw_resources
//     <tree>/tools/drawResources resources/technician
//
// Every bitmap that is drawn with one colour transparent is painted on the
// dialog background first (so that its anti-aliased edges blend into it) and
// the untouched background is then replaced by the key colour, magenta, that
// the pixel at (0, 0) gives to the mask.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

const QColor dialogBackground(239, 239, 239);
const QColor keyColour(255, 0, 255);

// A picture of the given size, painted by the function on the dialog
// background; then the background becomes the key colour.
QImage keyedPicture(int width, int height, const std::function<void(QPainter&)>& paint)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(dialogBackground);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (image.pixelColor(x, y) == dialogBackground)
                image.setPixelColor(x, y, keyColour);
    return image;
}

// A round signal lamp: lit (green glow) or dark.
QImage lamp(bool lit)
{
    return keyedPicture(20, 20, [lit](QPainter& p) {
        const QRectF body(1.5, 1.5, 17, 17);
        // Bezel.
        QLinearGradient bezel(0, 0, 0, 20);
        bezel.setColorAt(0, QColor(120, 120, 120));
        bezel.setColorAt(1, QColor(60, 60, 60));
        p.setPen(Qt::NoPen);
        p.setBrush(bezel);
        p.drawEllipse(body);
        // Glass.
        QRadialGradient glass(QPointF(8.5, 8), 8.5);
        if (lit) {
            glass.setColorAt(0, QColor(210, 255, 190));
            glass.setColorAt(0.45, QColor(60, 220, 70));
            glass.setColorAt(1, QColor(10, 120, 30));
        } else {
            glass.setColorAt(0, QColor(120, 150, 120));
            glass.setColorAt(0.5, QColor(50, 85, 55));
            glass.setColorAt(1, QColor(25, 45, 30));
        }
        p.setBrush(glass);
        p.drawEllipse(QRectF(3, 3, 14, 14));
        // Highlight.
        p.setBrush(QColor(255, 255, 255, lit ? 170 : 70));
        p.drawEllipse(QRectF(6, 5, 5, 3.5));
    });
}

// An arrow button face pointing up, turned by the given angle; Z arrows are
// teal, XY arrows blue.
QImage arrow(int angle, bool zAxis)
{
    return keyedPicture(28, 28, [angle, zAxis](QPainter& p) {
        const QColor light = zAxis ? QColor(110, 205, 195) : QColor(120, 170, 235);
        const QColor dark = zAxis ? QColor(20, 120, 110) : QColor(30, 80, 170);
        p.translate(14, 14);
        p.rotate(angle);
        // Raised round plate.
        QLinearGradient plate(0, -13, 0, 13);
        plate.setColorAt(0, QColor(252, 252, 252));
        plate.setColorAt(1, QColor(200, 204, 210));
        p.setPen(QPen(QColor(140, 145, 155), 1));
        p.setBrush(plate);
        p.drawRoundedRect(QRectF(-12.5, -12.5, 25, 25), 5, 5);
        // The arrow.
        QPainterPath path;
        path.moveTo(0, -9);
        path.lineTo(8, 0);
        path.lineTo(3, 0);
        path.lineTo(3, 8);
        path.lineTo(-3, 8);
        path.lineTo(-3, 0);
        path.lineTo(-8, 0);
        path.closeSubpath();
        QLinearGradient fill(0, -9, 0, 8);
        fill.setColorAt(0, light);
        fill.setColorAt(1, dark);
        p.setPen(QPen(dark.darker(130), 1));
        p.setBrush(fill);
        p.drawPath(path);
    });
}

// A numbered badge that names a step of the layer process.
void stepBadge(QPainter& p, QPointF centre, int number)
{
    p.save();
    p.setPen(QPen(QColor(40, 60, 90), 1.2));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(centre, 9, 9);
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(40, 60, 90));
    p.drawText(QRectF(centre.x() - 9, centre.y() - 9, 18, 18), Qt::AlignCenter, QString::number(number));
    p.restore();
}

// The layer process seen from the side: the media roll and the feeder
// rollers push a sheet over the model on the table (1), the nozzle lays
// glue (2), the iron presses the sheet onto the stack (3), the knife trims
// it at the feeder (4), and the head draws the layer's outline with a pen
// or knife (5).
QImage layerProcess()
{
    return keyedPicture(320, 360, [](QPainter& p) {
        const QColor steel(110, 120, 135);
        const QColor darkSteel(60, 68, 80);
        const QColor media(250, 244, 226);
        const double sheetY = 236;

        // Table and the model's stack of glued sheets.
        p.setPen(Qt::NoPen);
        QLinearGradient table(0, 300, 0, 316);
        table.setColorAt(0, steel);
        table.setColorAt(1, darkSteel);
        p.setBrush(table);
        p.drawRect(QRectF(120, 300, 180, 14));
        p.setBrush(darkSteel);
        p.drawRect(QRectF(200, 314, 20, 30));
        p.drawRect(QRectF(170, 340, 80, 6));
        const QColor layers[] = {QColor(250, 200, 110), QColor(244, 176, 88), QColor(236, 152, 70),
                                 QColor(226, 128, 58), QColor(212, 108, 50), QColor(198, 92, 46)};
        for (int i = 0; i < 6; ++i) {
            p.setBrush(layers[i]);
            p.setPen(QPen(layers[i].darker(125), 0.8));
            p.drawRect(QRectF(140, sheetY + 4 + i * 10, 140, 10));
        }

        // Media roll, feeder rollers and the sheet running over the stack.
        p.setPen(QPen(darkSteel, 1.2));
        p.setBrush(media);
        p.drawEllipse(QPointF(42, 262), 30, 30);
        p.setBrush(Qt::NoBrush);
        for (int r = 22; r > 6; r -= 6)
            p.drawEllipse(QPointF(42, 262), r, r);
        p.setBrush(darkSteel);
        p.drawEllipse(QPointF(42, 262), 5, 5);
        p.setPen(QPen(QColor(160, 150, 120), 2.5));
        p.drawLine(QPointF(42, 232), QPointF(96, sheetY));
        p.drawLine(QPointF(96, sheetY), QPointF(296, sheetY));
        QRadialGradient roller(QPointF(94, sheetY - 12), 10);
        roller.setColorAt(0, QColor(150, 160, 175));
        roller.setColorAt(1, darkSteel);
        p.setPen(QPen(darkSteel, 1));
        p.setBrush(roller);
        p.drawEllipse(QPointF(96, sheetY - 10), 8, 8);
        p.drawEllipse(QPointF(96, sheetY + 10), 8, 8);
        // Feed direction.
        p.setPen(QPen(QColor(30, 110, 200), 2.5));
        p.drawLine(QPointF(22, 208), QPointF(70, 208));
        QPainterPath head;
        head.moveTo(78, 208);
        head.lineTo(68, 202);
        head.lineTo(68, 214);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 110, 200));
        p.drawPath(head);
        stepBadge(p, QPointF(46, 190), 1);

        // Glue nozzle with its drops.
        p.setPen(QPen(darkSteel, 1));
        p.setBrush(steel);
        p.drawRect(QRectF(160, 140, 22, 30));
        QPainterPath tip;
        tip.moveTo(160, 170);
        tip.lineTo(182, 170);
        tip.lineTo(173, 184);
        tip.lineTo(169, 184);
        tip.closeSubpath();
        p.drawPath(tip);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 150, 220));
        for (int i = 0; i < 3; ++i) {
            QPainterPath drop;
            const double y = 190 + i * 14;
            drop.moveTo(171, y);
            drop.cubicTo(177, y + 7, 177, y + 11, 171, y + 11);
            drop.cubicTo(165, y + 11, 165, y + 7, 171, y);
            p.drawPath(drop);
        }
        stepBadge(p, QPointF(146, 150), 2);

        // Heated iron pressing the sheet onto the stack.
        QLinearGradient iron(0, 196, 0, 226);
        iron.setColorAt(0, QColor(235, 110, 60));
        iron.setColorAt(1, QColor(190, 50, 30));
        p.setPen(QPen(QColor(140, 40, 20), 1));
        p.setBrush(iron);
        p.drawRoundedRect(QRectF(224, 200, 60, 30), 5, 5);
        p.setBrush(darkSteel);
        p.drawRect(QRectF(250, 176, 8, 24));
        p.setPen(QPen(QColor(230, 90, 40), 1.5));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 3; ++i) {
            QPainterPath wave;
            const double x = 232 + i * 20;
            wave.moveTo(x, 194);
            wave.cubicTo(x - 4, 188, x + 4, 184, x, 176);
            p.drawPath(wave);
        }
        stepBadge(p, QPointF(296, 188), 3);

        // Trim knife at the feeder.
        p.setPen(QPen(darkSteel, 1));
        p.setBrush(steel);
        p.drawRect(QRectF(114, 186, 8, 26));
        QPainterPath blade;
        blade.moveTo(112, 212);
        blade.lineTo(124, 212);
        blade.lineTo(118, 230);
        blade.closeSubpath();
        p.setBrush(QColor(215, 222, 230));
        p.drawPath(blade);
        stepBadge(p, QPointF(118, 170), 4);

        // XY gantry and head drawing the layer's outline.
        p.setPen(Qt::NoPen);
        p.setBrush(darkSteel);
        p.drawRect(QRectF(20, 56, 280, 8));
        QLinearGradient body(0, 64, 0, 100);
        body.setColorAt(0, QColor(64, 112, 160));
        body.setColorAt(1, QColor(28, 58, 96));
        p.setPen(QPen(QColor(18, 38, 66), 1));
        p.setBrush(body);
        p.drawRoundedRect(QRectF(188, 64, 40, 36), 4, 4);
        p.setBrush(QColor(40, 40, 40));
        p.drawRect(QRectF(205, 100, 6, 22));
        QPainterPath pen;
        pen.moveTo(205, 122);
        pen.lineTo(211, 122);
        pen.lineTo(208, 132);
        pen.closeSubpath();
        p.drawPath(pen);
        p.setPen(QPen(QColor(40, 40, 40), 1.2, Qt::DashLine));
        p.drawLine(QPointF(208, 134), QPointF(208, sheetY - 2));
        p.setPen(QPen(darkSteel, 1.5));
        p.drawLine(QPointF(160, 44), QPointF(256, 44));
        p.drawLine(QPointF(160, 44), QPointF(168, 40));
        p.drawLine(QPointF(160, 44), QPointF(168, 48));
        p.drawLine(QPointF(256, 44), QPointF(248, 40));
        p.drawLine(QPointF(256, 44), QPointF(248, 48));
        stepBadge(p, QPointF(244, 82), 5);
    });
}

// The XY work area seen from above: the table with a 20 mm grid, the home
// corner at the front left (Y grows upwards on the picture).
QImage workArea()
{
    const int width = 130, height = 196;  // 260 mm x 392 mm at 2 mm per pixel
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient table(0, 0, width, height);
    table.setColorAt(0, QColor(236, 241, 247));
    table.setColorAt(1, QColor(212, 222, 234));
    p.fillRect(0, 0, width, height, table);
    p.setPen(QPen(QColor(185, 198, 214), 1));
    for (int x = 10; x < width; x += 10)
        p.drawLine(x, 0, x, height);
    for (int y = height - 10; y > 0; y -= 10)
        p.drawLine(0, y, width, y);
    p.setPen(QPen(QColor(150, 168, 190), 1));
    for (int x = 50; x < width; x += 50)
        p.drawLine(x, 0, x, height);
    for (int y = height - 50; y > 0; y -= 50)
        p.drawLine(0, y, width, y);
    // Home corner.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 70, 50), 2));
    p.drawLine(QPointF(2, height - 2), QPointF(16, height - 2));
    p.drawLine(QPointF(2, height - 2), QPointF(2, height - 16));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(90, 105, 125), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width - 1, height - 1);
    return image;
}

// The program icon: a layer printer's frame with a block of glued sheets.
QImage programIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // Body.
    QLinearGradient body(0, 4, 0, 60);
    body.setColorAt(0, QColor(64, 112, 160));
    body.setColorAt(1, QColor(28, 58, 96));
    p.setPen(QPen(QColor(18, 38, 66), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 9, 9);
    // Window into the build chamber.
    QLinearGradient glass(0, 14, 0, 52);
    glass.setColorAt(0, QColor(232, 240, 248));
    glass.setColorAt(1, QColor(186, 204, 224));
    p.setPen(QPen(QColor(18, 38, 66), 1));
    p.setBrush(glass);
    p.drawRoundedRect(QRectF(10, 12, 44, 40), 4, 4);
    // Gantry and head.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 80, 95));
    p.drawRect(QRectF(12, 17, 40, 3));
    p.setBrush(QColor(230, 120, 40));
    p.drawRoundedRect(QRectF(27, 15, 10, 8), 2, 2);
    p.setBrush(QColor(70, 80, 95));
    p.drawRect(QRectF(31, 23, 2, 4));
    // The block of sheets, warm layers.
    const QColor layers[] = {QColor(250, 190, 90), QColor(244, 160, 70), QColor(236, 130, 55),
                             QColor(222, 104, 45), QColor(204, 82, 40)};
    for (int i = 0; i < 5; ++i) {
        p.setBrush(layers[i]);
        p.drawRect(QRectF(20 + i * 0.0, 30 + i * 3.6, 24, 3.2));
    }
    // Table.
    p.setBrush(QColor(70, 80, 95));
    p.drawRect(QRectF(14, 48, 36, 3));
    return image;
}

bool save(const QImage& image, const QString& folder, const QString& name)
{
    const QString path = folder + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawResources <resources/technician folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder + "/bmp");
    QDir().mkpath(folder + "/icon");
    bool ok = true;
    ok &= save(lamp(true), folder, "bmp/133.png");
    ok &= save(lamp(false), folder, "bmp/134.png");
    ok &= save(layerProcess(), folder, "bmp/136.png");
    ok &= save(arrow(0, false), folder, "bmp/137.png");    // XY up
    ok &= save(arrow(180, false), folder, "bmp/138.png");  // XY down
    ok &= save(arrow(90, false), folder, "bmp/139.png");   // XY right
    ok &= save(arrow(270, false), folder, "bmp/140.png");  // XY left
    ok &= save(arrow(180, true), folder, "bmp/141.png");   // Z down
    ok &= save(arrow(0, true), folder, "bmp/142.png");     // Z up
    ok &= save(workArea(), folder, "bmp/146.png");
    ok &= save(programIcon(16), folder, "icon/128-16.png");
    ok &= save(programIcon(32), folder, "icon/128-32.png");
    ok &= save(programIcon(64), folder, "icon/128-64.png");
    return ok ? 0 : 1;
}
