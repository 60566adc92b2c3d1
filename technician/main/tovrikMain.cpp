// Tovrik.exe: the technician program. The application object runs the main
// window modally; the program ends when that window has closed and every
// thread of its device has been joined.
//
// SIGINT, SIGHUP and SIGTERM (Ctrl-C, a closed terminal, a log-out, a
// service manager), unless the program was started with them ignored,
// close the windows open over the main window as their No or Cancel does,
// then the main window as its close box does, close sequence included; the
// destroy step then stops the device and joins its threads, so the program
// exits cleanly. A second such signal ends the program at once.
//
// For documentation pictures, QVR_SCREENSHOT="<file.png>[,<delay ms>[,<tab>
// [,<inner tab>]]]" saves a picture of the main window after the delay
// (default 8000 ms) and then closes it without the close sequence; a tab
// index, and for the Operations tab an inner tab index, are chosen first as
// a technician would choose them.
//
// For tests, QVR_SERVER_PORT="<port>" makes the device connect to the
// machines server of this computer on that port instead of 8722.
//
// For tests that run it as its own process, QVR_WINDOW_TITLES writes each
// new window title to standard error (see platform/qt/windowTitleJournal.h).
#include "platform/process.h"
#include "platform/qt/endSignals.h"
#include "platform/qt/screenshot.h"
#include "platform/qt/windowTitleJournal.h"
#include "technician/controls/tabCtrl.h"
#include "technician/mainDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QString>
#include <QTabBar>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

void scheduleScreenshot(const char* request)
{
    const QStringList parts = QString::fromLocal8Bit(request).split(QLatin1Char(','));
    const std::string path = parts.value(0).toStdString();
    bool ok = false;
    int delay = parts.value(1).toInt(&ok);
    if (!ok || delay < 0)
        delay = 8000;
    const int tab = parts.size() > 2 ? parts[2].toInt() : -1;
    const int innerTab = parts.size() > 3 ? parts[3].toInt() : -1;
    QTimer::singleShot(0, [tab, innerTab] {
        mainDlg_t* dialog = tovrikApp().mainDialog();
        if (dialog == nullptr)
            return;
        if (tab >= 0)
            dialog->controls().tabs->tabBar()->setCurrentIndex(tab);
        if (innerTab >= 0 && dialog->operationsPage() != nullptr)
            dialog->operationsPage()->innerTabs()->tabBar()->setCurrentIndex(innerTab);
    });
    QTimer::singleShot(delay, [path] {
        mainDlg_t* dialog = tovrikApp().mainDialog();
        if (dialog == nullptr)
            return;
        if (!saveScreenshot(dialog, path))
            std::fprintf(stderr, "Tovrik.exe: cannot write %s\n", path.c_str());
        dialog->endDialog(IDCANCEL);
    });
}

void useServerPort(const char* text)
{
    bool ok = false;
    const int port = QString::fromLatin1(text).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        mainDlg_t::setDefaultServer(L"", port);
    else
        std::fprintf(stderr, "Tovrik.exe: QVR_SERVER_PORT=%s is not a port\n", text);
}

}  // namespace

int main(int argc, char** argv)
{
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    // Logic never depends on the locale; Qt has just set it from the environment.
    std::setlocale(LC_ALL, "C");
    tovrikApp_t::installPlatformHooks();
    watchEndSignals(&application, [](int signal) { tovrikApp().closeOnEndSignal(signal); });
    journalWindowTitlesFromEnvironment(application);
    if (const char* request = std::getenv("QVR_SCREENSHOT"); request != nullptr && *request != '\0')
        scheduleScreenshot(request);
    if (const char* port = std::getenv("QVR_SERVER_PORT"); port != nullptr && *port != '\0')
        useServerPort(port);
    tovrikApp().initInstance();
    return 0;
}
