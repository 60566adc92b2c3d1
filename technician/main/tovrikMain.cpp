// Tovrik.exe: the technician program. The application object runs the main
// window modally; the program ends when that window has closed and every
// thread of its device has been joined.
//
// For documentation pictures, QVR_SCREENSHOT="<file.png>[,<delay ms>]" saves
// a picture of the main window after the delay (default 8000 ms) and then
// closes it without the close sequence.
#include "platform/process.h"
#include "platform/qt/screenshot.h"
#include "technician/mainDlg.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QString>
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
    QTimer::singleShot(delay, [path] {
        mainDlg_t* dialog = tovrikApp().mainDialog();
        if (dialog == nullptr)
            return;
        if (!saveScreenshot(dialog, path))
            std::fprintf(stderr, "Tovrik.exe: cannot write %s\n", path.c_str());
        dialog->endDialog(IDCANCEL);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    // Logic never depends on the locale; Qt has just set it from the environment.
    std::setlocale(LC_ALL, "C");
    tovrikApp_t::installPlatformHooks();
    if (const char* request = std::getenv("QVR_SCREENSHOT"); request != nullptr && *request != '\0')
        scheduleScreenshot(request);
    tovrikApp().initInstance();
    return 0;
}
