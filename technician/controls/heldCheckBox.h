// A three-state check box that does not change by itself when clicked: the
// click only notifies, and the handler sets the state it wants shown.
#pragma once
#include <QCheckBox>

class heldCheckBox_t : public QCheckBox {
    Q_OBJECT
public:
    explicit heldCheckBox_t(const QString& text, QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};
