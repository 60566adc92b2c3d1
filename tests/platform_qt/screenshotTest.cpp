#include "platform/prefix.h"
#include "platform/qt/screenshot.h"

#include <QImage>
#include <QLabel>
#include <filesystem>
#include <gtest/gtest.h>

TEST(ScreenshotWidget, AWidgetIsWrittenAsAPngOfItsSize)
{
    QLabel label(QStringLiteral("Communication:"));
    label.resize(120, 30);
    label.show();
    const std::string file = prefixRoot() + "/label.png";
    ASSERT_TRUE(saveScreenshot(&label, file));
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(file), "PNG"));
    EXPECT_EQ(image.size(), label.size() * label.devicePixelRatio());
    EXPECT_FALSE(saveScreenshot(nullptr, file));
    EXPECT_FALSE(saveScreenshot(&label, prefixRoot() + "/no such folder/x.png"));
}
