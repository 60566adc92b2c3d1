// NOTEPAD.EXE: the platform's text editor, as the technician program uses
// it. "NOTEPAD.EXE path" shows the file in an editor window that can save
// it; "NOTEPAD.EXE /p path" prints the file on the printer of platform.conf
// (a PDF file in the prefix until a printer is named) and exits at once.
// The path may hold blanks, runs of them too, and come unquoted: it is the
// rest of the command line as the starting program wrote it.
//
// For documentation pictures, QVR_SCREENSHOT="<file.png>" saves a picture
// of the window once it is drawn and closes it.
#include "platform/process.h"
#include "platform/qt/screenshot.h"
#include "standins/notepad/notepadArgs.h"
#include "standins/notepad/notepadWindow.h"
#include "standins/notepad/textPrint.h"

#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    initProcessCommandLine(argc, argv);
    const notepadArgs_t options = parseNotepadCommandLine(processCommandLine());
    if (options.print) {
        // Printing shows no window, so it needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        std::setlocale(LC_ALL, "C");
        printTextFile(options.path);
        return 0;
    }
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    notepadWindow_t window(options.path);
    window.show();
    if (const char* picture = std::getenv("QVR_SCREENSHOT"); picture != nullptr && *picture != '\0')
        QTimer::singleShot(500, &window, [&window, path = std::string(picture)] {
            saveScreenshot(&window, path);
            window.close();
        });
    return application.exec();
}
