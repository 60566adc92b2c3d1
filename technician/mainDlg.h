// The technician program's main window (dialog 102). It owns the one client
// device and publishes it as the process's current device, connects it to
// the machines server, receives the device's notifications and hands each
// to what shows it, holds the tabs with the pages, the communication
// indicator, the temperature box and the "Open Door" mode box, starts the
// USB driver program and further instances for the server's other
// machines, and runs the close sequence that takes the machine out of Open
// Door mode before the program ends.
#pragma once
#include "platform/qt/qtWindow.h"
#include "technician/mainDlgTemplate.h"

#include <QBrush>
#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

class installationDlg_t;
class logDlg_t;
class operationsDlg_t;
class qvrClientDev_t;
class sharedLock_t;

class mainDlg_t : public qtWindow_t<QDialog> {
    Q_OBJECT
public:
    static constexpr int tabCount = 4;
    static constexpr int troubleshootingTab = 2;
    static constexpr int logsTab = 3;
    static constexpr int refreshTimerId = 1;
    static constexpr int refreshTimerMs = 10000;
    // Without an acknowledgement the close ends at the first timer tick
    // after this long.
    static constexpr std::uint32_t closeFallbackMs = 20000;
    static constexpr int serverPort = 8722;

    // Builds the window's controls and the client device (published as the
    // current device); nothing connects before onInitDialog.
    explicit mainDlg_t(bool iFlag, QWidget* parent = nullptr);
    // Runs the destroy step when it has not run.
    ~mainDlg_t() override;

    // The window's initialisation: icon, indicator, tabs and pages, owner
    // window, connection, timer, the USB driver program and the title.
    bool onInitDialog();
    // onInitDialog, the modal loop, then the destroy step; the end code.
    int doModal();
    // The destroy step: the window leaves the window table (later and
    // queued notifications are dropped), the timer stops, the device thread
    // stops and the device is deleted, and the current device is cleared.
    void onDestroy();

    // --- handlers -----------------------------------------------------------
    void onDeviceNotify(WPARAM wParam, LPARAM lParam);
    void onTimer(int timerId);
    void onTabChanged(int index);
    void onOpenDoorModeClicked();
    // Esc, the close box: the close sequence.
    void onCancel();
    void refreshPages();
    void showOpenDoorMode();
    // Ends the modal loop with that code (once).
    void endDialog(int code);
    void reject() override;  // Esc: the close sequence
    void accept() override;  // Enter never closes the program

    // --- what the handlers keep (tests and the help lookup read it) -----------
    // The dialog id of the page on screen, for the help lookup.
    int currentHelpPageId() const;
    int currentTab() const { return currentTab_; }
    QWidget* page(int tabIndex) const;
    installationDlg_t* installationPage() const { return installation_; }
    int pageId(int tabIndex) const;
    operationsDlg_t* operationsPage() const { return operations_; }
    qvrClientDev_t* device() const { return device_; }
    const mainDlgControls_t& controls() const { return controls_; }
    logDlg_t* logsPage() const { return logs_; }
    // Bitmap [0] is resource 134, [1] resource 133.
    const QPixmap& indicatorBitmap(int index) const { return bitmaps_.at(static_cast<std::size_t>(index)); }
    int blinkIndex() const { return blinkIndex_; }
    const std::wstring& temperatureText() const { return temperatureText_; }
    bool isClosing() const { return closing_; }
    bool hasEnded() const { return ended_; }
    bool isTimerRunning() const { return qtTimerId_ != 0; }
    bool isDestroyed() const { return destroyed_; }

    // Where the device connects (tests use a server of their own): this
    // dialog's, or every dialog's made from now on ("" and 8722 restore the
    // machines server of this computer).
    void setServer(const std::wstring& host, int port);
    static void setDefaultServer(const std::wstring& host, int port);
    // How the dialogs made from now on make their device: a client device
    // over the given lock. Tests give one that records what it sends; an
    // empty function restores the plain client device.
    using deviceFactory_t = std::function<qvrClientDev_t*(sharedLock_t& lock)>;
    static void setDeviceFactory(deviceFactory_t factory);

protected:
    void onWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addTabPage(int index, const wchar_t* caption, int dialogId);
    void showPage(int index);

    void onConnectionStatus();        // 111
    void onCurrentMachineChanged();   // 151
    void onParametersRead();          // 108
    void showTemperature();           // 143
    void startOtherMachineInstances();  // 131
    void onCloseAcknowledged();       // 141
    void printErrorReport();          // 138

    bool iFlag_;
    int blinkIndex_ = 0;
    bool closing_ = false;
    std::uint32_t closeStart_ = 0;
    bool errorLogWanted_ = true;
    bool titlePending_ = true;
    bool releasePending_ = false;
    bool otherInstancesPending_ = true;
    std::array<QPixmap, 2> bitmaps_;
    QBrush temperatureBrush_;
    std::array<QWidget*, tabCount> pages_{};
    installationDlg_t* installation_ = nullptr;
    std::array<int, tabCount> pageIds_{};
    logDlg_t* logs_ = nullptr;
    operationsDlg_t* operations_ = nullptr;
    int currentTab_ = 0;
    mainDlgControls_t controls_;
    std::wstring temperatureText_;
    QIcon icon_;

    qvrClientDev_t* device_ = nullptr;
    std::wstring host_;
    int port_ = serverPort;
    int qtTimerId_ = 0;
    bool initialised_ = false;
    bool ended_ = false;
    bool destroyed_ = false;
};
