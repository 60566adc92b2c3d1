#include "platform/qt/dlgItem.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <deque>

void setCtrlId(QWidget* control, int id)
{
    control->setProperty(ctrlIdProperty, id);
}

int ctrlId(const QWidget* control)
{
    return control == nullptr ? 0 : control->property(ctrlIdProperty).toInt();
}

void setDialogId(QWidget* dialog, int id)
{
    dialog->setProperty(dialogIdProperty, id);
}

int dialogId(const QWidget* dialog)
{
    return dialog == nullptr ? 0 : dialog->property(dialogIdProperty).toInt();
}

QWidget* dlgItem(const QWidget* dialog, int id)
{
    if (dialog == nullptr || id == 0)
        return nullptr;
    // Breadth first, so that the nearest control with the id wins.
    std::deque<const QWidget*> pending{dialog};
    while (!pending.empty()) {
        const QWidget* parent = pending.front();
        pending.pop_front();
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (ctrlId(child) == id)
                return child;
            if (!child->isWindow() && dialogId(child) == 0)
                pending.push_back(child);
        }
    }
    return nullptr;
}

int checkedRadio(const QWidget* dialog, int first, int last)
{
    for (int id = first; id <= last; ++id) {
        const auto* radio = dlgItemAs<QRadioButton>(dialog, id);
        if (radio != nullptr && radio->isChecked())
            return id;
    }
    return 0;
}

std::wstring windowText(const QWidget* widget)
{
    if (widget == nullptr)
        return {};
    QString text;
    if (widget->isWindow())
        text = widget->windowTitle();
    else if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        text = edit->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        text = button->text();
    else if (const auto* label = qobject_cast<const QLabel*>(widget))
        text = label->text();
    else if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        text = group->title();
    else if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        text = plain->toPlainText();
    else if (const auto* rich = qobject_cast<const QTextEdit*>(widget))
        text = rich->toPlainText();
    else if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        text = combo->currentText();
    else if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        text = spin->text();
    else
        text = widget->windowTitle();
    return text.toStdWString();
}

void setWindowText(QWidget* widget, const std::wstring& text)
{
    if (widget == nullptr)
        return;
    const QString value = QString::fromStdWString(text);
    if (widget->isWindow())
        widget->setWindowTitle(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(value);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(value);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(value);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
        plain->setPlainText(value);
    else if (auto* rich = qobject_cast<QTextEdit*>(widget))
        rich->setPlainText(value);
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->setCurrentText(value);
    else
        widget->setWindowTitle(value);
}
