#include "platform/qt/colorref.h"

#include <gtest/gtest.h>

TEST(ColorrefWidget, ValuesAreReadAsBlueGreenRed)
{
    const struct {
        COLORREF value;
        int r, g, b;
    } cases[] = {
        {0xe0ffff, 255, 255, 224},  // light yellow of the temperature box
        {0x800000, 0, 0, 128},      // dark blue, not red
        {0x0000ff, 255, 0, 0},
        {0x96f5f5, 245, 245, 150},
        {0xb0b0b0, 176, 176, 176},
        {0x8050a0, 160, 80, 128},
        {0x000000, 0, 0, 0},
        {0xff0000ffu, 255, 0, 0},  // the top byte is not part of the colour
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const QColor colour = colorrefToColor(c.value);
        EXPECT_EQ(colour.red(), c.r);
        EXPECT_EQ(colour.green(), c.g);
        EXPECT_EQ(colour.blue(), c.b);
        EXPECT_EQ(colour.alpha(), 255);
        EXPECT_EQ(colorToColorref(colour), c.value & 0xFFFFFFu);
        EXPECT_EQ(RGB(c.r, c.g, c.b), c.value & 0xFFFFFFu);
    }
    EXPECT_EQ(RGB(0, 192, 0), 0x00c000u);
    EXPECT_EQ(colorToColorref(QColor(0, 0, 192, 10)), 0xc00000u);
    EXPECT_EQ(colorToColorref(QColor::fromHsv(0, 255, 255)), 0x0000ffu);
}
