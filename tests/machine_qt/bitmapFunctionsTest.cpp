#include "machine/qt/bitmapFunctions.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A 6 x 6 picture: white border (the corner colour), dark red inside, one
// blue pixel at (3, 3).
QPixmap indicator()
{
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x)
            image.setPixelColor(x, y, QColor(128, 0, 0));
    image.setPixelColor(3, 3, Qt::blue);
    return QPixmap::fromImage(image);
}

}  // namespace

TEST(BitmapFunctionsWidget, TheMaskComesFromTheCornerOrTheGivenColour)
{
    const QColor background(0, 128, 0);
    const struct {
        COLORREF transparent;
        QColor atBorder, inside, atCentre;
    } cases[] = {
        {CLR_INVALID, background, QColor(128, 0, 0), Qt::blue},  // -1: the pixel at (0, 0)
        {0x000080, Qt::white, background, Qt::blue},             // dark red as COLORREF
        {RGB(0, 0, 255), Qt::white, QColor(128, 0, 0), background},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.transparent);
        QBitmap mask;
        ASSERT_TRUE(makeMaskBitmap(indicator(), mask, c.transparent));
        EXPECT_EQ(mask.size(), QSize(6, 6));
        QPixmap target(8, 8);
        target.fill(background);
        QPainter painter(&target);
        drawTransparentBitmap(painter, indicator(), mask, 2, 2);
        painter.end();
        const QImage out = target.toImage();
        EXPECT_EQ(out.pixelColor(0, 0), background);
        EXPECT_EQ(out.pixelColor(2, 2), c.atBorder);
        EXPECT_EQ(out.pixelColor(3, 3), c.inside);
        EXPECT_EQ(out.pixelColor(5, 5), c.atCentre);
    }
    QBitmap none;
    EXPECT_FALSE(makeMaskBitmap(QPixmap(), none));
}
