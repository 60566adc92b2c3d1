#include "link/currentClientDevice.h"
#include "machine/sharedLock.h"
#include "platform/qt/dlgItem.h"
#include "technician/calibrateFeederEncoders.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

class calibrateFeederEncodersWidgetTest : public prefixTest {};

// Without media a test sends nothing and stays startable; Close then does
// not take the machine out of state 5, since no test was started.
TEST_F(calibrateFeederEncodersWidgetTest, WithoutMediaNothingIsSentAndCloseSendsNothing)
{
    sharedLock_t lock;
    testClientDev_t device(HWND(0), lock);
    device.setMachineState(5);
    setCurrentClientDevice(&device);
    {
        calibrateFeederEncoders_t dialog;
        EXPECT_EQ(dialogId(&dialog), 147);
        EXPECT_EQ(windowText(&dialog), L"Calibrate Feeder Encoders");
        EXPECT_EQ(windowText(dlgItem(&dialog, 1121)), L"Test !");
        EXPECT_EQ(windowText(dlgItem(&dialog, 1122)), L"Test !");
        device.clearSent();
        scriptedMessageBox_t boxes;
        boxes.expect(feederEncoderTest_t::noMediaText, MB_OK, IDOK);
        dlgItemAs<QPushButton>(&dialog, 1121)->click();
        EXPECT_EQ(boxes.shown().size(), 1u);
        EXPECT_TRUE(dlgItem(&dialog, 1121)->isEnabled());
        dlgItemAs<QPushButton>(&dialog, 2)->click();
        EXPECT_TRUE(device.codes().empty());
    }
    setCurrentClientDevice(nullptr);
}
