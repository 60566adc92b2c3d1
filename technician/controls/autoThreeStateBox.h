// A three-state check box that moves on a click as a dialog's automatic
// three-state box does: unchecked, checked, undecided, unchecked again.
// (Qt's own order passes through undecided first, so a "Power OFF" box
// would show undecided right after it was ticked.)
#pragma once
#include <QCheckBox>

class autoThreeStateBox_t : public QCheckBox {
    Q_OBJECT
public:
    explicit autoThreeStateBox_t(QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};
