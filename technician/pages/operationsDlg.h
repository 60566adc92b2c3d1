// The Operations page (dialog 188) of the main dialog: an inner tab control
// with five pages (Clean && Calibrate, Run Tests, Processes, Motors, Build)
// and, beside it, the panel of 16 sensor lamps. It passes the main dialog's
// notifications on to its pages and answers which page is on screen for
// the help lookup.
#pragma once
#include <QWidget>
#include <array>
#include <memory>

namespace Ui {
class operationsDlgTemplate;
}
class functionsDlg_t;
class buildDlg_t;
class calibrateDlg_t;
class motorsDlg_t;
class tabCtrl_t;

// Where the inner pages sit in the inner tab control, and their size.
namespace operationsLayout {
inline constexpr int pageLeft = 5;
inline constexpr int pageTop = 30;
inline constexpr int pageWidth = 552;
inline constexpr int pageHeight = 405;
}  // namespace operationsLayout

class operationsDlg_t : public QWidget {
    Q_OBJECT
public:
    static constexpr int pageCount = 5;
    static constexpr int innerTabsId = 1017;

    explicit operationsDlg_t(QWidget* parent = nullptr);
    ~operationsDlg_t() override;

    // Bold heading, the lamps with their masks and connectors, the five
    // inner tabs with their pages; the Clean && Calibrate page is shown.
    bool onInitDialog();

    // Notification 111: the lamps, then the pages that show the status.
    void onStatus();
    // Notification 143: the Motors page's tool and power boxes.
    void onMachineInfo();
    // Notification 124: the pages that follow the build's layers, also when
    // they have never been shown.
    void onNewLayerRecord();
    // The technician chose an inner tab: status requests 1 and 12, then the
    // chosen page alone is shown.
    void onTabChanged(int index);
    // The dialog id of the page on screen; 188 when no inner tab is chosen.
    int currentPageId() const;

    // Enter and Esc on the page close neither it nor the main dialog.
    void onOK() {}
    void onCancel() {}

    tabCtrl_t* innerTabs() const;
    QWidget* page(int index) const;
    int pageId(int index) const;
    functionsDlg_t* functionsPage() const { return functions_; }
    motorsDlg_t* motorsPage() const { return motors_; }
    buildDlg_t* buildPage() const { return build_; }
    calibrateDlg_t* calibratePage() const { return calibrate_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    template <class page_t>
    page_t* createPage(int index, const wchar_t* caption, int dialogId);
    void showPage(int index);

    std::unique_ptr<Ui::operationsDlgTemplate> ui_;
    functionsDlg_t* functions_ = nullptr;
    motorsDlg_t* motors_ = nullptr;
    buildDlg_t* build_ = nullptr;
    calibrateDlg_t* calibrate_ = nullptr;
    std::array<QWidget*, pageCount> pages_{};
    std::array<int, pageCount> pageIds_{};
    bool initialised_ = false;
};
