// The custom controls: transparent bitmaps and arrow buttons, sensor lamps
// and the XY work-area picker.
#include "machine/currentDevice.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "technician/controls/relativeMoveTarget.h"
#include "technician/controls/sensorCtrl.h"
#include "technician/controls/transparentBitmap.h"
#include "technician/controls/transparentButton.h"
#include "technician/controls/xyFrameCtrl.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

const QColor keyColour(255, 0, 255);

void sendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint at = QPoint(3, 3))
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// --- transparent bitmaps ------------------------------------------------------

TEST(TransparentBitmapWidget, LampsShareTheMaskOfTheFirstBitmapShown)
{
    const QPixmap dark = loadBitmapResource(134);
    const QPixmap lit = loadBitmapResource(133);
    ASSERT_FALSE(dark.isNull());
    ASSERT_FALSE(lit.isNull());
    ASSERT_EQ(dark.size(), lit.size());

    transparentBitmap_t indicator;
    EXPECT_TRUE(indicator.mask().isNull());
    indicator.setBitmap(dark);
    const QImage firstMask = indicator.mask().toImage();
    indicator.setBitmap(lit);
    EXPECT_EQ(indicator.mask().toImage(), firstMask);
    EXPECT_EQ(indicator.bitmap().toImage(), lit.toImage());

    // The mask's rule is visible with a bitmap of another shape: a square
    // whose only transparent pixel is its corner, shown first, makes every
    // later bitmap opaque but there.
    QImage square(dark.size(), QImage::Format_RGB32);
    square.fill(Qt::red);
    square.setPixelColor(0, 0, Qt::blue);
    transparentBitmap_t other;
    other.setBitmap(QPixmap::fromImage(square));
    other.setBitmap(lit);
    other.resize(lit.size());
    const QImage drawn = other.grab().toImage();
    EXPECT_NE(drawn.pixelColor(0, 0), keyColour);
    EXPECT_EQ(drawn.pixelColor(1, 0), keyColour);
}

TEST(TransparentBitmapWidget, KeyColourShowsTheBackground)
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette colours = parent.palette();
    colours.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(colours);
    auto* lamp = new transparentBitmap_t(&parent, 133);
    lamp->resize(lamp->sizeHint());
    parent.resize(40, 40);
    const QImage drawn = parent.grab().toImage();
    const QImage bitmap = loadBitmapResource(133).toImage();
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(drawn.pixelColor(10, 10), bitmap.pixelColor(10, 10));
    EXPECT_NE(bitmap.pixelColor(10, 10), keyColour);
}

// --- arrow buttons ----------------------------------------------------------------

class moveRecorder_t : public QWidget, public relativeMoveTarget_t {
public:
    void moveRelative(int buttonId) override { moves.push_back(buttonId); }
    std::vector<int> moves;
};

TEST(TransparentButtonWidget, MovesOnPressAndTwiceOnDoubleClick)
{
    moveRecorder_t page;
    auto* up = new transparentButton_t(&page, 137);
    setCtrlId(up, 1036);
    up->resize(up->sizeHint());

    sendMouse(up, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(up, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(page.moves, (std::vector<int>{1036}));

    page.moves.clear();
    sendMouse(up, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(up, QEvent::MouseButtonRelease, Qt::LeftButton);
    sendMouse(up, QEvent::MouseButtonDblClick, Qt::LeftButton);
    sendMouse(up, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(page.moves, (std::vector<int>{1036, 1036}));

    page.moves.clear();
    sendMouse(up, QEvent::MouseButtonPress, Qt::RightButton);
    sendMouse(up, QEvent::MouseButtonDblClick, Qt::RightButton);
    EXPECT_TRUE(page.moves.empty());

    // On any other parent only the default handling runs.
    QWidget plain;
    auto* lone = new transparentButton_t(&plain, 138);
    sendMouse(lone, QEvent::MouseButtonPress, Qt::LeftButton);
    SUCCEED();
}

// --- sensor lamps --------------------------------------------------------------------

class SensorLampWidget : public ::testing::Test {
protected:
    void SetUp() override
    {
        setCurrentDevice(&device);
        pen.attach(0x80, L"J30");
        door.attach(sensorCtrl_t::doorMask, L"J7 (old), J22 && J25 (new)");
        plain.attach(0x10000, L"");
    }
    void TearDown() override { setCurrentDevice(nullptr); }

    testCommDev_t device;
    sensorCtrl_t pen;
    sensorCtrl_t door;
    sensorCtrl_t plain;
};

TEST_F(SensorLampWidget, DefaultColoursWhileTheLinkIsDown)
{
    device.setSensorWord(0xFFFFFFFF);
    sensorCtrl_t::invalidateAll();
    for (const sensorCtrl_t* lamp : {&pen, &door, &plain})
        EXPECT_EQ(lamp->shownState(), sensorCtrl_t::unknown_e);
    EXPECT_EQ(pen.palette().color(QPalette::Base), QPalette().color(QPalette::Base));
}

TEST_F(SensorLampWidget, LitYellowAndDarkGreyByTheirBit)
{
    device.setLinkUp(true);
    device.setSensorWord(0x80);
    sensorCtrl_t::invalidateAll();
    EXPECT_EQ(pen.shownState(), sensorCtrl_t::lit_e);
    EXPECT_EQ(plain.shownState(), sensorCtrl_t::dark_e);
    EXPECT_EQ(pen.palette().color(QPalette::Base), colorrefToColor(0x80ffff));
    EXPECT_EQ(plain.palette().color(QPalette::Base), colorrefToColor(0xb0b0b0));

    // The lamp without a tooltip is on the list all the same.
    device.setSensorWord(0x10000);
    sensorCtrl_t::invalidateAll();
    EXPECT_EQ(pen.shownState(), sensorCtrl_t::dark_e);
    EXPECT_EQ(plain.shownState(), sensorCtrl_t::lit_e);

    // The colour is decided at each paint: painted after the link dropped,
    // with nothing else telling it, the lamp shows the default colours.
    device.setLinkUp(false);
    const QImage painted = plain.grab().toImage();
    EXPECT_EQ(plain.shownState(), sensorCtrl_t::unknown_e);
    EXPECT_EQ(painted.pixelColor(painted.width() / 2, painted.height() / 2), QPalette().color(QPalette::Base));
    device.setLinkUp(true);
    sensorCtrl_t::invalidateAll();
    EXPECT_EQ(plain.shownState(), sensorCtrl_t::lit_e);
    device.setLinkUp(false);
    sensorCtrl_t::invalidateAll();
    EXPECT_EQ(plain.shownState(), sensorCtrl_t::unknown_e);
}

TEST_F(SensorLampWidget, DoorLampFollowsTheMachineTypeRule)
{
    struct doorCase_t {
        std::uint16_t revision;
        std::uint32_t sensors;
        sensorCtrl_t::lampState_e expected;
    };
    const doorCase_t cases[] = {
        {1000, 0x80000, sensorCtrl_t::lit_e},  {1000, 0x1800, sensorCtrl_t::dark_e},
        {1100, 0x80000, sensorCtrl_t::dark_e}, {1100, 0x800, sensorCtrl_t::lit_e},
        {1100, 0x1000, sensorCtrl_t::lit_e},   {1100, 0, sensorCtrl_t::dark_e},
    };
    device.setLinkUp(true);
    for (const doorCase_t& c : cases) {
        device.setHardwareRevision(c.revision);
        device.setSensorWord(c.sensors);
        sensorCtrl_t::invalidateAll();
        EXPECT_EQ(door.shownState(), c.expected) << c.revision << " " << c.sensors;
    }
}

TEST_F(SensorLampWidget, TooltipsAndTheList)
{
    EXPECT_EQ(pen.toolTip(), QStringLiteral("J30"));
    EXPECT_EQ(door.toolTip(), QStringLiteral("J7 (old), J22 & J25 (new)"));
    EXPECT_FALSE(plain.hasTooltip());
    const std::vector<sensorCtrl_t*> lamps = sensorCtrl_t::lamps();
    EXPECT_EQ(lamps.size(), 3u);
    {
        sensorCtrl_t passing;
        passing.attach(0x1, L"J1");
        EXPECT_EQ(sensorCtrl_t::lamps().size(), 4u);
    }
    EXPECT_EQ(sensorCtrl_t::lamps(), lamps);
}

// --- the XY picker ----------------------------------------------------------------------

class XyFrameWidget : public ::testing::Test {
protected:
    void SetUp() override
    {
        setCurrentDevice(&device);
        device.setParameterWord(74, 260000000);  // Max X position
        device.setParameterWord(75, 392000000);  // Max Y position
        device.setMachineState(2);
        frame.resize(130, 196);
    }
    void TearDown() override { setCurrentDevice(nullptr); }

    testCommDev_t device;
    xyFrameCtrl_t frame;
};

TEST_F(XyFrameWidget, DrawsTheYellowMarkerAtTheHead)
{
    // 5938 steps of 21892 nm on X are 129.99 mm, 8581 steps of 22841 nm on
    // Y ("Y Step Size", word 65) 195.99 mm: the middle.
    device.setParameterWord(65, 22841);
    device.setHeadSteps(5938, 8581);
    EXPECT_EQ(frame.markerRect(), QRect(59, 94, 10, 10));
    const QImage drawn = frame.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(64, 99), QColor(255, 255, 0));
    EXPECT_EQ(drawn.pixelColor(59, 94), QColor(0, 0, 0));

    device.setHeadSteps(0, 0);
    EXPECT_EQ(frame.markerRect(), QRect(0, 186, 10, 10));
}

TEST_F(XyFrameWidget, ClickMovesTheHeadThroughTheGate)
{
    sendMouse(&frame, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(65, 98));
    ASSERT_EQ(device.codes(), (std::vector<int>{135, 1, 12}));
    const packetBuffer_t move = device.packets().front();
    ASSERT_EQ(move.length(), 9);
    EXPECT_EQ(move.i32(1), 130000000);
    EXPECT_EQ(move.i32(5), 196000000);
}

TEST_F(XyFrameWidget, ZeroMaximumNeitherCrashesNorSends)
{
    device.setParameterWord(74, 0);
    device.setHeadSteps(5938, 8953);
    EXPECT_EQ(frame.markerRect(), QRect(0, 186, 10, 10));
    EXPECT_FALSE(frame.grab().isNull());
    frame.clickAt(QPoint(65, 98));
    device.setParameterWord(74, 260000000);
    device.setParameterWord(75, -1);
    frame.clickAt(QPoint(65, 98));
    EXPECT_TRUE(device.codes().empty());
}

TEST_F(XyFrameWidget, BuildingMachineRefusesTheClick)
{
    device.setMachineState(1);
    scriptedMessageBox_t boxes;
    boxes.expect(L"This machine is building a model. Pause machine first.", MB_ICONEXCLAMATION, IDOK);
    frame.clickAt(QPoint(65, 98));
    EXPECT_TRUE(device.codes().empty());
    EXPECT_EQ(boxes.remaining(), 0u);
}

}  // namespace
