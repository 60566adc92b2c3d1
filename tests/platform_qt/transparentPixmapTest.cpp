#include "platform/qt/transparentPixmap.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor key(255, 0, 255);        // the corner colour
const QColor background(10, 20, 30);  // what the target shows before

// An 8 x 8 picture in the key colour with a filled square at 2..5.
QPixmap picture(const QColor& square, int from = 2, int to = 5)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(key);
    for (int y = from; y <= to; ++y)
        for (int x = from; x <= to; ++x)
            image.setPixelColor(x, y, square);
    return QPixmap::fromImage(image);
}

QImage drawnAt(const QPixmap& pixmap, const QBitmap& mask, int x, int y)
{
    QPixmap target(12, 12);
    target.fill(background);
    QPainter painter(&target);
    drawMasked(painter, x, y, pixmap, mask);
    painter.end();
    return target.toImage();
}

}  // namespace

TEST(TransparentPixmapWidget, TheCornerColourShowsTheBackground)
{
    const QPixmap blue = picture(Qt::blue);
    EXPECT_EQ(cornerColor(blue), key);
    const QBitmap mask = maskFromColor(blue, cornerColor(blue));
    ASSERT_EQ(mask.size(), blue.size());

    const QImage out = drawnAt(blue, mask, 1, 1);
    const struct {
        int x, y;
        QColor expected;
    } cases[] = {
        {0, 0, background},   // outside the picture
        {1, 1, background},   // the picture's corner: transparent
        {2, 2, background},   // key colour inside the picture
        {3, 3, Qt::blue},     // the square, shifted by (1, 1)
        {6, 6, Qt::blue},
        {7, 7, background},
        {8, 8, background},   // last pixel of the picture: key colour
        {11, 11, background},
    };
    for (const auto& c : cases)
        EXPECT_EQ(out.pixelColor(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(TransparentPixmapWidget, OneMaskServesLaterPicturesAndItsShapeWins)
{
    const QBitmap mask = maskFromColor(picture(Qt::blue), key);
    // A later picture with a bigger square is cut to the first one's shape.
    const QImage out = drawnAt(picture(Qt::green, 1, 6), mask, 0, 0);
    EXPECT_EQ(out.pixelColor(1, 1), background);
    EXPECT_EQ(out.pixelColor(2, 2), Qt::green);
    EXPECT_EQ(out.pixelColor(5, 5), Qt::green);
    EXPECT_EQ(out.pixelColor(6, 6), background);

    // A mask smaller than the picture: beyond it the picture is transparent.
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QBitmap smallMask = maskFromColor(QPixmap::fromImage(small), key);  // all opaque
    const QImage cut = drawnAt(picture(Qt::green, 0, 7), smallMask, 0, 0);
    EXPECT_EQ(cut.pixelColor(0, 0), Qt::green);
    EXPECT_EQ(cut.pixelColor(3, 3), Qt::green);
    EXPECT_EQ(cut.pixelColor(4, 4), background);
    EXPECT_EQ(cut.pixelColor(7, 0), background);
}

TEST(TransparentPixmapWidget, AnEmptyPictureDrawsNothing)
{
    EXPECT_FALSE(cornerColor(QPixmap()).isValid());
    EXPECT_TRUE(maskFromColor(QPixmap(), key).isNull());
    const QImage out = drawnAt(QPixmap(), QBitmap(), 0, 0);
    EXPECT_EQ(out.pixelColor(0, 0), background);
}
