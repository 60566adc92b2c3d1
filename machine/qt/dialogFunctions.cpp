#include "machine/qt/dialogFunctions.h"

#include "platform/qt/dlgItem.h"
#include "platform/windowTable.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

std::wstring getDlgItemText(const QWidget* dialog, int itemId)
{
    if (itemId == 0)
        return windowText(dialog);
    return windowText(dlgItem(dialog, itemId));
}

bool isSameWindow(const QWidget* a, const QWidget* b)
{
    return a != nullptr && b != nullptr && a == b;
}

bool isSameWindow(HWND a, HWND b)
{
    return isWindow(a) && isWindow(b) && a == b;
}

bool isDlgItemFocused(const QWidget* dialog, int itemId)
{
    return isSameWindow(QApplication::focusWidget(), dlgItem(dialog, itemId));
}

QBrush ctlColorBrush(QWidget* control, const QBrush& brush)
{
    if (control == nullptr)
        return brush;
    QPalette palette = control->palette();
    // Edits paint their background with Base, statics and buttons with Window.
    palette.setColor(QPalette::Base, brush.color());
    palette.setColor(QPalette::Window, brush.color());
    control->setPalette(palette);
    control->setAutoFillBackground(true);
    return brush;
}

void setBoldFont(QWidget* dialog, int itemId, QFont& font)
{
    QWidget* item = dlgItem(dialog, itemId);
    if (item == nullptr)
        return;
    // The font belongs to the item alone; a Qt container (a group box) would
    // hand it on to the controls inside, so those keep the font they have.
    for (QWidget* child : item->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->testAttribute(Qt::WA_SetFont)) {
            QFont own = child->font();
            own.setWeight(own.weight());  // marks the weight as the child's own
            child->setFont(own);
        }
    font = item->font();
    font.setWeight(QFont::Bold);
    item->setFont(font);
    item->update();
}
