// The technician program's application object: start-up, the command line,
// the edition, the one gate through which every page sends a manual machine
// command, the bold font of the pages' headings and the help lookup.
#pragma once
#include <QFont>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;
class mainDlg_t;

class tovrikApp_t {
public:
    tovrikApp_t();
    ~tovrikApp_t();
    tovrikApp_t(const tovrikApp_t&) = delete;
    tovrikApp_t& operator=(const tovrikApp_t&) = delete;

    // The Qt halves of the platform's hooks: message boxes from any thread
    // become real boxes, and the user-interface thread keeps serving them
    // while it waits for another thread. The program calls it first.
    static void installPlatformHooks();
    // The start-up: names the application, checks sockets, reads the command line, runs the main
    // dialog modally and tears it down. False in every case: the program
    // ends when it returns. Needs the QApplication.
    bool initInstance();
    // The first of the signals that ask the program to end (Ctrl-C, a
    // closed terminal, a log-out): the windows open over the main window
    // close, innermost first, each as its own No or Cancel closes it (a
    // running procedure is cancelled and its clean-up sent); then the main
    // window closes as its close box closes it, so a machine in Open Door
    // mode is taken out of it first. Without a main window the program ends
    // as the signal ends it.
    void closeOnEndSignal(int signal);
    // Reads the /I flag, the machine number and the edition from a whole
    // command line (program path first).
    void readCommandLine(const std::wstring& commandLine);

    // Brings the machine out of its held states before a manual command.
    // False (nothing queued) while it builds, after a warning; false
    // without a device.
    bool makeMachineReady();
    // The command with up to two typed arguments (types 1, 2 and 4: byte,
    // 16 and 32 bits), then the status requests 1 and 12, when the machine
    // is ready. Never waits for a reply. True when the command was queued.
    bool sendCommandIfReady(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0,
                            std::int32_t type2 = 0, std::int32_t value2 = 0);
    void refreshMainWindow();

    // The application's bold font becomes the window's font with weight 700.
    void makeBoldFont(QWidget* window);
    // One control of a dialog gets the bold font (redrawn).
    void setBoldFont(QWidget* dialog, int controlId);
    QFont boldFont() const;

    // Opens a topic of the edition's help file; nothing when it cannot.
    void showHelpTopic(const std::wstring& topic);
    // F1: the topic of the page on screen.
    void winHelp();
    std::wstring helpFile() const;

    mainDlg_t* mainDialog() const { return mainDialog_; }
    void setMainDialog(mainDlg_t* dialog) { mainDialog_ = dialog; }
    int machineNumber() const { return machineNumber_; }
    bool iFlag() const { return iFlag_; }
    const std::wstring& edition() const { return edition_; }
    const std::wstring& programPath() const { return programPath_; }

    // Sockets start-up; tests replace it to see the failure path.
    using socketsCheck_t = std::function<bool()>;
    void setSocketsCheck(socketsCheck_t check);

private:
    std::unique_ptr<QFont> boldFont_;
    mainDlg_t* mainDialog_ = nullptr;
    int machineNumber_ = 0;
    std::wstring edition_ = L"Tovrik";
    bool iFlag_ = false;
    std::wstring programPath_;
    socketsCheck_t socketsCheck_;
};

// The one application object of the process.
tovrikApp_t& tovrikApp();
