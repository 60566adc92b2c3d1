// "Knife Check": the small modal window the knife check shows while it waits
// for the machine's RESUME button. RESUME takes the machine out of state 5;
// the window watches the state every 100 ms and closes with OK once it left.
// Cancel (or Escape) closes it with Cancel; Enter does nothing, so that a
// key pressed by chance does not skip the wait.
#pragma once
#include <QDialog>
#include <memory>

class qvrClientDev_t;
namespace Ui {
class delayDlgTemplate;
}

class delayDlg_t : public QDialog {
    Q_OBJECT
public:
    static constexpr int dialogResource = 196;
    static constexpr int tickMs = 100;

    delayDlg_t(qvrClientDev_t* device, QWidget* parent = nullptr);
    ~delayDlg_t() override;

    // OK does nothing: only the machine ends the wait.
    void accept() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::unique_ptr<Ui::delayDlgTemplate> ui_;
    qvrClientDev_t* device_;
    int timer_ = 0;
};
