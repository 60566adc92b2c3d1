// Pevrale.exe: the embedded-software updater. Updating a printer's embedded
// software is not possible on this platform; the program says so in a small
// window and closes. QVR_SCREENSHOT="<file.png>" saves a picture of the
// window for the documentation and closes it.
#include "platform/process.h"
#include "platform/qt/screenshot.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    // As in every program of ours: a command line written for this start
    // goes no further than this program.
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    QDialog window;
    window.setWindowTitle(QStringLiteral("Embedded Update"));
    auto* layout = new QVBoxLayout(&window);
    auto* text = new QLabel(QStringLiteral("The embedded software of a printer cannot be updated on this platform.\n"
                                           "The printer keeps the software it has."),
                            &window);
    text->setWordWrap(false);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(&window);
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (const char* picture = std::getenv("QVR_SCREENSHOT"); picture != nullptr && *picture != '\0')
        QTimer::singleShot(500, &window, [&window, path = std::string(picture)] {
            saveScreenshot(&window, path);
            window.reject();
        });
    window.exec();
    return 0;
}
