// "Choose The Correct Number...": the technician picks the number of the
// line the trim knife cut best. A slider from 1 to the maximum with the
// chosen number shown in the edit on its right.
#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class trimChooseNumberDlgTemplate;
}

class trimChooseNumberDlg_t : public QDialog {
    Q_OBJECT
public:
    static constexpr int dialogResource = 143;
    static constexpr int sliderId = 1077;
    static constexpr int editId = 1080;

    trimChooseNumberDlg_t(int maximum, int initialNumber, QWidget* parent = nullptr);
    ~trimChooseNumberDlg_t() override;

    // The number chosen; read it after a result of OK.
    int chosenNumber() const { return chosen_; }
    void accept() override;

private:
    std::unique_ptr<Ui::trimChooseNumberDlgTemplate> ui_;
    int maximum_;
    int chosen_;
};
