#include "technician/controls/autoThreeStateBox.h"

autoThreeStateBox_t::autoThreeStateBox_t(QWidget* parent) : QCheckBox(parent)
{
    setTristate(true);
}

void autoThreeStateBox_t::nextCheckState()
{
    switch (checkState()) {
    case Qt::Unchecked:
        setCheckState(Qt::Checked);
        break;
    case Qt::Checked:
        setCheckState(Qt::PartiallyChecked);
        break;
    default:
        setCheckState(Qt::Unchecked);
        break;
    }
}
