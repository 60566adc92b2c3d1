#include "link/qvrClientDev.h"
#include "machine/sharedLock.h"
#include "platform/qt/dlgItem.h"
#include "procedures/batches/qt/delayDlg.h"
#include "procedures/batches/qt/trimChooseNumberDlg.h"
#include "platform/qt/processEventsUntil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

// The knife-check window: Enter does not end the wait; the machine out of
// state 5 (here: no machine at all, or its link lost) closes it with OK at
// the first tick; Cancel closes it with Cancel.
TEST(batchDialogsWidgetTest, KnifeWaitIgnoresEnterAndClosesWhenTheMachineLeftState5)
{
    delayDlg_t dialog(nullptr);
    EXPECT_EQ(dialogId(&dialog), 196);
    EXPECT_EQ(windowText(&dialog), L"Knife Check");
    bool textFound = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        textFound = textFound || label->text() == QStringLiteral("Put a peace of media underneath the knife, press the "
                                                                 "machine's RESUME button, and then wait for 4 seconds...");
    EXPECT_TRUE(textFound);
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(processEventsUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Over a lost link the stored state stays the old 5, and no RESUME can
    // be seen: the window closes as when the machine left state 5.
    struct lostLinkDevice_t : qvrClientDev_t {
        using qvrClientDev_t::qvrClientDev_t;
        void set(bool linkUp)
        {
            lockGuard_t guard(getLock());
            status.setMachineState(5);
            linkState = linkUp ? 1 : 0;
        }
    };
    sharedLock_t lock;
    lostLinkDevice_t device(0, lock);
    device.set(true);
    delayDlg_t overLostLink(&device);
    overLostLink.show();
    device.set(false);
    EXPECT_TRUE(processEventsUntil([&] { return !overLostLink.isVisible(); }));
    EXPECT_EQ(overLostLink.result(), QDialog::Accepted);

    delayDlg_t cancelled(nullptr);
    cancelled.setModal(true);
    cancelled.open();
    dlgItemAs<QPushButton>(&cancelled, 2)->click();
    EXPECT_FALSE(cancelled.isVisible());
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

TEST(batchDialogsWidgetTest, TrimChooserShowsTheSliderNumberAndReturnsIt)
{
    trimChooseNumberDlg_t dialog(14, 10);
    EXPECT_EQ(dialogId(&dialog), 143);
    EXPECT_EQ(windowText(&dialog), L"Choose The Correct Number...");
    auto* slider = dlgItemAs<QSlider>(&dialog, 1077);
    auto* edit = dlgItemAs<QLineEdit>(&dialog, 1080);
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 14);
    EXPECT_EQ(slider->value(), 10);
    EXPECT_EQ(edit->text(), QStringLiteral("10"));
    slider->setValue(3);
    EXPECT_EQ(edit->text(), QStringLiteral("3"));
    dlgItemAs<QPushButton>(&dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenNumber(), 3);
}
