#include "platform/qt/dlgItem.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

template <class control_t>
control_t* make(QWidget* parent, int id)
{
    auto* control = new control_t(parent);
    setCtrlId(control, id);
    return control;
}

}  // namespace

TEST(DlgItemWidget, ControlsAreFoundByIdNearestFirstAndNotInsideNestedPages)
{
    QDialog dialog;
    setDialogId(&dialog, 188);
    auto* edit = make<QLineEdit>(&dialog, 1025);
    auto* group = make<QGroupBox>(&dialog, 1063);
    auto* radio1 = make<QRadioButton>(group, 1064);
    auto* radio2 = make<QRadioButton>(group, 1065);
    auto* container = new QWidget(&dialog);
    auto* label = make<QLabel>(container, 1020);
    // A page inside the dialog with a control of the same number.
    auto* page = new QWidget(&dialog);
    setDialogId(page, 190);
    auto* pageButton = make<QPushButton>(page, 1020);
    auto* pageEdit = make<QLineEdit>(page, 1048);
    // A deeper control with the id of a direct child loses to the child.
    auto* deepTwin = make<QLineEdit>(container, 1025);

    const struct {
        const QWidget* dialog;
        int id;
        QWidget* expected;
    } cases[] = {
        {&dialog, 1025, edit},   {&dialog, 1063, group},     {&dialog, 1065, radio2},
        {&dialog, 1020, label},  {&dialog, 1048, nullptr},   {page, 1020, pageButton},
        {page, 1048, pageEdit},  {&dialog, 0, nullptr},      {&dialog, 9999, nullptr},
        {nullptr, 1025, nullptr}, {container, 1025, deepTwin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(dlgItem(c.dialog, c.id), c.expected);
    }
    EXPECT_EQ(dlgItemAs<QLineEdit>(&dialog, 1025), edit);
    EXPECT_EQ(dlgItemAs<QPushButton>(&dialog, 1025), nullptr);
    EXPECT_EQ(ctrlId(edit), 1025);
    EXPECT_EQ(ctrlId(container), 0);
    EXPECT_EQ(dialogId(page), 190);

    EXPECT_EQ(checkedRadio(&dialog, 1064, 1066), 0);
    radio2->setChecked(true);
    EXPECT_EQ(checkedRadio(&dialog, 1064, 1066), 1065);
    radio1->setChecked(true);
    radio2->setChecked(false);
    EXPECT_EQ(checkedRadio(&dialog, 1065, 1066), 0);
}
