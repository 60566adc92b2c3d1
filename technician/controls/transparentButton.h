// An arrow button: a transparent bitmap that moves an axis when pressed.
// It acts on the button going down, so a double click moves twice (the
// press and the double click each move).
#pragma once
#include "technician/controls/transparentBitmap.h"

class transparentButton_t : public transparentBitmap_t {
    Q_OBJECT
public:
    explicit transparentButton_t(QWidget* parent = nullptr, int bitmapId = 0);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void onClick();
};
