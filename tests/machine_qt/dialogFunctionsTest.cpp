#include "machine/qt/dialogFunctions.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/qtWindowSink.h"
#include "platform/qt/processEventsUntil.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct dialog_t {
    QDialog dialog;
    QLineEdit* edit = new QLineEdit(QStringLiteral("25"), &dialog);
    QPushButton* button = new QPushButton(QStringLiteral("Feed Layer"), &dialog);
    QGroupBox* group = new QGroupBox(QStringLiteral("Operations"), &dialog);
    QLabel* label = new QLabel(QStringLiteral("Sensors:"), group);

    dialog_t()
    {
        dialog.setWindowTitle(QStringLiteral("Tovrik"));
        setCtrlId(edit, 1025);
        setCtrlId(button, 1030);
        setCtrlId(group, 1063);
        setCtrlId(label, 1020);
    }
};

}  // namespace

TEST(DialogFunctionsWidget, ItemTextsByIdAndTheDialogsOwnForIdZero)
{
    dialog_t d;
    const struct {
        int id;
        std::wstring text;
    } cases[] = {{0, L"Tovrik"},          {1025, L"25"},      {1030, L"Feed Layer"},
                 {1063, L"Operations"},   {1020, L"Sensors:"}, {4242, L""}};
    for (const auto& c : cases)
        EXPECT_EQ(getDlgItemText(&d.dialog, c.id), c.text) << c.id;
    EXPECT_EQ(getDlgItemText(nullptr, 1025), L"");
}

TEST(DialogFunctionsWidget, SameWindowNeedsTwoExistingEqualWindows)
{
    dialog_t d;
    EXPECT_TRUE(isSameWindow(d.edit, d.edit));
    EXPECT_FALSE(isSameWindow(d.edit, d.button));
    EXPECT_FALSE(isSameWindow(static_cast<QWidget*>(nullptr), nullptr));

    qtWindowSink_t sink(&d.dialog, {});
    const HWND window = sink.handle();
    EXPECT_TRUE(isSameWindow(window, window));
    EXPECT_FALSE(isSameWindow(window, window + 1));
    sink.unregister();
    EXPECT_FALSE(isSameWindow(window, window));
    EXPECT_FALSE(isSameWindow(HWND(0), HWND(0)));
}

TEST(DialogFunctionsWidget, FocusIsTestedOnTheItem)
{
    dialog_t d;
    d.dialog.show();
    d.dialog.activateWindow();
    d.edit->setFocus();
    ASSERT_TRUE(processEventsUntil([&] { return QApplication::focusWidget() == d.edit; }));
    EXPECT_TRUE(isDlgItemFocused(&d.dialog, 1025));
    EXPECT_FALSE(isDlgItemFocused(&d.dialog, 1030));
    EXPECT_FALSE(isDlgItemFocused(&d.dialog, 4242));
    d.button->setFocus();
    ASSERT_TRUE(processEventsUntil([&] { return QApplication::focusWidget() == d.button; }));
    EXPECT_TRUE(isDlgItemFocused(&d.dialog, 1030));
    EXPECT_FALSE(isDlgItemFocused(&d.dialog, 1025));
}

TEST(DialogFunctionsWidget, BoldFontAndControlColour)
{
    dialog_t d;
    QFont font;
    setBoldFont(&d.dialog, 1063, font);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_EQ(d.group->font().weight(), QFont::Bold);
    EXPECT_EQ(font.family(), d.dialog.font().family());
    // The label inside the group box keeps its font, as it would beside it.
    EXPECT_EQ(d.label->font().weight(), QFont::Normal);

    QFont untouched(QStringLiteral("Serif"), 9);
    setBoldFont(&d.dialog, 4242, untouched);
    EXPECT_EQ(untouched.weight(), QFont::Normal);

    const QBrush yellow(colorrefToColor(0xe0ffff));
    const QBrush answer = ctlColorBrush(d.edit, yellow);
    EXPECT_EQ(answer, yellow);
    EXPECT_EQ(d.edit->palette().color(QPalette::Base), QColor(255, 255, 224));
    EXPECT_EQ(d.edit->palette().color(QPalette::Window), QColor(255, 255, 224));
    EXPECT_TRUE(d.edit->autoFillBackground());
}
