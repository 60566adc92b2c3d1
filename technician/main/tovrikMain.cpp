// Tovrik.exe: the technician program. The application object runs the main
// window modally; the program ends when that window has closed and every
// thread of its device has been joined.
//
// SIGTERM (a log-out, a service manager, a test) ends the main window as its
// close box would once the close sequence is done: the destroy step still
// stops the device and joins its threads, so the program exits cleanly.
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
#include "platform/qt/screenshot.h"
#include "platform/qt/windowTitleJournal.h"
#include "technician/mainDlg.h"
#include "technician/operationsDlg.h"
#include "technician/tabCtrl.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QString>
#include <QTabBar>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

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

// The signal handler only writes a byte; the user-interface thread reads it.
int terminatePipe[2] = {-1, -1};

extern "C" void onTerminateSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminatePipe[1], &byte, 1);
}

void closeOnTerminate(QApplication& application)
{
    if (::pipe2(terminatePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(terminatePipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte;
        while (::read(terminatePipe[0], &byte, 1) > 0) {
        }
        if (mainDlg_t* dialog = tovrikApp().mainDialog(); dialog != nullptr && !dialog->isDestroyed()) {
            dialog->endDialog(IDCANCEL);
            return;
        }
        // No window to close (a start-up box): end as an unhandled SIGTERM would.
        std::signal(SIGTERM, SIG_DFL);
        std::raise(SIGTERM);
    });
    struct sigaction action {};
    action.sa_handler = onTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    // Logic never depends on the locale; Qt has just set it from the environment.
    std::setlocale(LC_ALL, "C");
    tovrikApp_t::installPlatformHooks();
    closeOnTerminate(application);
    journalWindowTitlesFromEnvironment(application);
    if (const char* request = std::getenv("QVR_SCREENSHOT"); request != nullptr && *request != '\0')
        scheduleScreenshot(request);
    if (const char* port = std::getenv("QVR_SERVER_PORT"); port != nullptr && *port != '\0')
        useServerPort(port);
    tovrikApp().initInstance();
    return 0;
}
