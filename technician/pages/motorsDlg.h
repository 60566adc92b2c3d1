// The Motors page (dialog 190) of the Operations page: moves single axes by
// typed distances, moves the XY head to typed or clicked coordinates, homes
// axes, switches motor groups off, takes and returns pens, and shows the
// head position, the layer length and the current tool. Every command goes
// through the manual-command gate; none waits for a reply.
#pragma once
#include "technician/controls/relativeMoveTarget.h"

#include <QWidget>
#include <memory>

namespace Ui {
class motorsDlgTemplate;
}
class layerLengthEdit_t;

class motorsDlg_t : public QWidget, public relativeMoveTarget_t {
    Q_OBJECT
public:
    // Motor groups of the power boxes and of command 131.
    enum group_e : int { xyGroup_e = 1, zGroup_e = 2, feederGroup_e = 4 };

    explicit motorsDlg_t(QWidget* parent = nullptr);
    ~motorsDlg_t() override;

    // The arrows' bitmaps and the step edits' first values (10 mm XY, 20 mm Z).
    bool onInitDialog();

    // An arrow's relative move (command 128) by its step edit; any other id
    // does nothing. A distance the machine cannot take sends nothing.
    void moveRelative(int buttonId) override;
    // Switches the group's motors over by the motor word of the last
    // machine information: off while powered, on while not.
    void motorPowerOff(int group);
    // "Move XY Head To:": the X and Y edits in millimetres (command 135).
    void onMoveXYTo();
    // "Idle Position": the Z table to its safe position.
    void onIdlePosition();

    // Notification 143: the current tool's text and the power boxes.
    void showCurrentTool();
    // Notification 111: the layer length and the head position, never over
    // what the technician is typing, and the XY frame.
    void showPositions();

    layerLengthEdit_t* layerLengthEdit() const;
    const std::wstring& currentTool() const { return currentTool_; }

    // Enter commits the layer length, or in the X or Y edit runs
    // "Move XY Head To:"; Esc does nothing.
    void onOK();
    void onCancel() {}

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::motorsDlgTemplate> ui_;
    std::wstring currentTool_;
};
