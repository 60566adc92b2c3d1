// Whether a control holds the keyboard focus of its window. Unlike
// QWidget::hasFocus this stays true while the window is not the active one,
// so a technician who switches to another program in the middle of typing
// finds the text as it was left.
#pragma once
#include <QWidget>

inline bool holdsFocus(const QWidget* control)
{
    return control != nullptr && control->window()->focusWidget() == control;
}
