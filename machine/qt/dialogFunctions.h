// The library's helpers for dialog items and windows, on Qt widgets. A
// dialog item is addressed by its control id (platform/qt/dlgItem.h).
#pragma once
#include "platform/winConstants.h"
#include <QBrush>
#include <QFont>
#include <string>

class QWidget;

// The window text of the item; of the dialog itself when the id is 0. Empty
// when there is no such item.
std::wstring getDlgItemText(const QWidget* dialog, int itemId);
// Both exist and are the same window.
bool isSameWindow(const QWidget* a, const QWidget* b);
bool isSameWindow(HWND a, HWND b);
// The item has the keyboard focus.
bool isDlgItemFocused(const QWidget* dialog, int itemId);
// The control-colour answer: the control's background becomes the brush's
// colour; returns the brush.
QBrush ctlColorBrush(QWidget* control, const QBrush& brush);
// The font becomes a copy of the item's font with weight 700 (bold) and is
// set on the item, which redraws. Nothing happens without such an item.
void setBoldFont(QWidget* dialog, int itemId, QFont& font);
