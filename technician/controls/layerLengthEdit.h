// The layer-length edit (1025) of the Processes and Motors pages: whole
// millimetres, digits only. Leaving it, or Enter on its page, commits the
// length: command 14 straight to the device (the printer takes it without
// a reply), then the status request 1, and the focus goes on to the page's
// "Feed Layer" button (1030), the usual next step.
#pragma once
#include <QLineEdit>
#include <cstdint>

class layerLengthEdit_t : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int feedLayerId = 1030;

    explicit layerLengthEdit_t(QWidget* parent = nullptr);

    // Nothing unless the edit reads as a positive length the machine can
    // take. A length other than the machine's goes out when the machine is
    // ready (a building machine refuses with its warning); in every case
    // with a positive length the focus then moves to "Feed Layer".
    void commit();
    // The status's layer length (nanometres) in whole millimetres, written
    // when it differs from the number shown, unless the technician is in
    // the edit.
    void showLength(std::int32_t layerLengthNm);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Moving the focus from inside commit leaves the edit again.
    bool committing_ = false;
};
