// The XY work-area picker: the work-area picture with a yellow marker at
// the head's position, and a click that moves the head there through the
// manual-command gate.
#pragma once
#include <QWidget>

class xyFrameCtrl_t : public QWidget {
    Q_OBJECT
public:
    explicit xyFrameCtrl_t(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The marker's rectangle as the next paint draws it (10 x 10, centred
    // on the head's position).
    QRect markerRect() const;
    // A click at a point of the control (y from the top, as Qt gives it).
    void clickAt(const QPoint& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
};
