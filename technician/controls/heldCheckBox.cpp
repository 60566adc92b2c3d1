#include "technician/controls/heldCheckBox.h"

heldCheckBox_t::heldCheckBox_t(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setTristate(true);
}

void heldCheckBox_t::nextCheckState()
{
    // The state stays as it is; clicked() still follows.
}
