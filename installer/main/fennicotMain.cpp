// Fennicot.exe: the installer, started from a distribution folder (its
// current folder). The application object runs the installer's dialog
// modally; the program ends when it has ended.
//
// For documentation pictures, QVR_SCREENSHOT="<file.png>[,<delay ms>]" saves
// a picture of the installer's window the given time (default 0 ms) after it
// is first shown, if it is still open then; the installation goes on as usual.
//
// For tests that run it as its own process, QVR_MESSAGE_BOX_ANSWERS answers
// its message boxes in order (see platform/qt/messageBoxAnswers.h).
#include "installer/CFennicotApp.h"
#include "installer/CFennicotDlg.h"
#include "platform/process.h"
#include "platform/qt/messageBoxAnswers.h"
#include "platform/qt/pumpingWait.h"
#include "platform/qt/qtMessageBox.h"
#include "platform/qt/screenshot.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

void scheduleScreenshot(CFennicotApp& app, const char* request) {
    const QStringList parts = QString::fromLocal8Bit(request).split(QLatin1Char(','));
    const std::string path = parts.value(0).toStdString();
    bool ok = false;
    int delay = parts.value(1).toInt(&ok);
    if (!ok || delay < 0)
        delay = 0;
    // The window shows only once the user has answered the question, so
    // look for it until it does.
    auto* watch = new QTimer(qApp);
    QObject::connect(watch, &QTimer::timeout, [&app, watch, path, delay] {
        CFennicotDlg* dialog = app.mainDialog();
        if (dialog == nullptr || !dialog->isVisible())
            return;
        watch->stop();
        watch->deleteLater();
        QPointer<CFennicotDlg> shown(dialog);
        QTimer::singleShot(delay, [shown, path] {
            if (shown.isNull() || !shown->isVisible())
                return;
            if (!saveScreenshot(shown.data(), path))
                std::fprintf(stderr, "Fennicot.exe: cannot write %s\n", path.c_str());
        });
    });
    watch->start(10);
}

} // namespace

int main(int argc, char** argv) {
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    // Logic never depends on the locale; Qt has just set it from the environment.
    std::setlocale(LC_ALL, "C");
    // Message boxes of the worker become real boxes, and the user-interface
    // thread keeps serving them while it waits for the worker.
    installQtMessageBoxHook();
    if (!installMessageBoxAnswersFromEnvironment())
        return 2;
    installPumpingWait();

    CFennicotApp app;
    if (const char* request = std::getenv("QVR_SCREENSHOT"); request != nullptr && *request != '\0')
        scheduleScreenshot(app, request);
    app.InitInstance();
    return app.ExitInstance();
}
