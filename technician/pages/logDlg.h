// The "Printer Logs" page (dialog 195) of the main dialog. It shows one log
// file of the current machine at a time, as its tail: the daily log of the
// day chosen in the calendar, the brief log, or the log of one built model;
// it lists the layers of the current build, newest on top; it saves the
// shown file, opens and prints it through Notepad; and its check box
// switches the automatic printing of error reports. The machines server
// writes the logs (and appends to them while they are shown); this page only
// reads them.
#pragma once
#include "machine/longnameStream.h"
#include "technician/pages/logTail.h"
#include "technician/pages/printerLogFiles.h"

#include <QWidget>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class qvrClientDev_t;
namespace Ui {
class logDlgTemplate;
}

namespace logDlgId {
inline constexpr int calendar = 1067;
inline constexpr int printErrors = 1068;
inline constexpr int saveAs = 1069;
inline constexpr int print = 1070;
inline constexpr int view = 1071;
inline constexpr int detailedDailyLog = 1072;
inline constexpr int briefLog = 1073;
inline constexpr int modelsLogs = 1074;
inline constexpr int openWithNotepad = 1075;
inline constexpr int caption = 1076;
inline constexpr int layerList = 1126;
inline constexpr int modelList = 1127;
}  // namespace logDlgId

class logDlg_t : public QWidget {
    Q_OBJECT
public:
    explicit logDlg_t(QWidget* parent = nullptr);
    ~logDlg_t() override;

    // The main dialog shows the page: the model list is filled at the first
    // show, then the active file is shown.
    void onShown();
    // Timer 1 of the main dialog: on the tick of a new day the view is
    // reloaded, and the calendar moves to the new day when its log exists
    // by then.
    void refresh();
    // Notification 101: today's daily log grew. While the mouse rests over
    // the view the reload waits until the mouse moves over the page itself,
    // so the text does not move under the reader.
    void onNewLog();
    // Notification 151 and the day change: refills the model list and loads
    // the kind of log the radio buttons choose.
    void reloadView();
    // Notification 124: rows for the newly received layers.
    void onNewLayerRecord();

    void onDetailedDailyLog();
    void onBriefLog();
    void onModelsLogs();
    void onDateChanged();
    void onModelSelected();
    void onOpenWithNotepad();
    void onSaveAs();
    void onPrint();

    // --- what tests read ---------------------------------------------------
    const std::wstring& activePath() const { return activePath_; }
    bool isReloadPending() const { return reloadPending_; }
    int selectedLayerRow() const { return selectedLayerRow_; }
    QPlainTextEdit* view() const;
    QTreeWidget* layerList() const;
    QListWidget* modelList() const;
    QCalendarWidget* calendar() const;

    // The clock of the day change (tests move it past midnight); an empty
    // function restores the system's.
    using clockFunction_t = std::function<std::time_t()>;
    static void setClock(clockFunction_t clock);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onInitDialog();
    bool isCurrentPage() const;
    qvrClientDev_t* device() const;
    std::wstring machineFolder() const;
    calendarDay_t today() const;
    calendarDay_t selectedDay() const;
    std::wstring todayDailyLogPath() const;

    void setActiveFile(const std::wstring& path);
    void openActiveFile();
    void showLog();
    void loadSelectedDay();
    void fillModelList();

    std::wstring activePath_;
    std::unique_ptr<wlongname_ifstream> stream_;
    int lastDay_ = -1;
    logTail_t tail_;
    bool reloadPending_ = false;
    bool modelListUnfilled_ = true;
    int selectedLayerRow_ = -1;
    std::unique_ptr<Ui::logDlgTemplate> ui_;
    std::wstring caption_;
};
