// The "Software && Parameters" page (dialog 135) of the main window: the
// machine number and the hardware, firmware, driver and software versions
// with the accumulated build time; the "Recommended Values" list of the
// parameters a technician may edit, with their factory values, edited in
// place; restoring the listed ones to their factory values, saving the
// parameters to a file, loading a parameters file into the machine, and
// starting the embedded-software updater. Every value goes through a
// parameter handle, one per list row.
#pragma once
#include "machine/baseParamHandle.h"
#include "machine/prmControl.h"

#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
namespace Ui {
class installationDlgTemplate;
}

class installationDlg_t : public QWidget {
    Q_OBJECT
public:
    enum column_e : int { nameColumn = 0, valueColumn = 1, factoryColumn = 2, minColumn = 3, maxColumn = 4 };

    explicit installationDlg_t(QWidget* parent = nullptr);
    ~installationDlg_t() override;

    // --- what the main window calls -----------------------------------------
    void showMachineID();     // status received
    void showVersions();      // machine information received
    void fillParameterList(); // parameters from the server; machine changed
    // The Value column, the cell colours and the text of the comparison with
    // the factory image.
    void buildComparisonText();
    // The Clean && Calibrate page's "Initialize Machine...".
    void onInitializeMachine();

    // --- handlers -------------------------------------------------------------
    // A click in the list, in its viewport's coordinates: commits an open
    // edit, then opens the editor over a Value cell.
    void onListClick(const QPoint& position);
    // Enter in the editor, or the next click in the list.
    void commitEditedValue();
    // Enter and Esc on the page do nothing more (they never reach the main
    // dialog's close sequence from here); the editor takes its own Enter
    // (commit) and Esc (the edit is dropped).
    void onOK() {}
    void onCancel() {}
    void onRestoreFactory();
    void onSaveParameters();
    void onUpdateMachineParameters();
    void onInstallFirmware();
    void onCompare();
    // "Print Parameters...": the listed parameters on one printed page.
    void onPrintParameters();

    // --- what the printed list and tests read ---------------------------------
    // Each row's name and its current value as the list shows it (with the
    // unit), in list order.
    std::vector<std::pair<std::wstring, std::wstring>> parameterRows() const;
    const std::wstring& comparisonText() const { return comparison_; }
    int editedRow() const { return editedRow_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    QTreeWidget* list() const;
    QLineEdit* editor() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onInitDialog();
    void setColumnWidths();
    void addParameterRow(std::unique_ptr<baseParamHandle_t> handle);
    void paintRow(int row);
    void closeEditor();
    baseParamHandle_t* rowOfParameter(const std::wstring& name) const;
    void updateData();

    int editedRow_ = -1;
    bool committing_ = false;
    std::wstring comparison_;
    prmControl_t control_;
    std::vector<std::unique_ptr<baseParamHandle_t>> rows_;
    // Counts the refills of the list, so that an answer given while the
    // list was rebuilt is not applied to the new one.
    unsigned listGeneration_ = 0;
    std::unique_ptr<Ui::installationDlgTemplate> ui_;
    std::wstring firmwareText_;
    std::wstring hardwareText_;
    std::wstring driverText_;
    std::wstring machineIdText_;
    std::wstring hiddenText_;
    std::wstring softwareText_;
    std::wstring buildTimeText_;
};
