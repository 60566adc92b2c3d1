// Takes the documentation picture of the Clean && Calibrate page: the main
// window on the Operations page, connected to a simulated printer of the
// machines server stand-in (in process, on a free port), with "Fast Clean
// Bubbles" running in its progress window. Every question of the procedure
// is answered OK. Once a few strokes are done, the progress window is drawn
// over the main window's lower right, each under a plain caption bar (a
// virtual X server has no window manager to draw one), and the run is
// cancelled.
//
//     cmake --build <tree> --target technician_calibrate_page_shot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/tools/calibratePageShot docs/clean-and-calibrate.png
#include "platform/messageBoxHook.h"
#include "platform/process.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/processEventsUntil.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/controls/tabCtrl.h"
#include "technician/mainDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <clocale>
#include <cstdio>

namespace {

constexpr int captionHeight = 24;
constexpr int margin = 12;

// A window's picture under a caption bar with its title, framed.
QImage framed(QWidget* window)
{
    const QPixmap content = window->grab();
    QImage image(content.width() + 2, content.height() + captionHeight + 2, QImage::Format_RGB32);
    image.fill(QColor(0x40, 0x40, 0x40));
    QPainter painter(&image);
    painter.fillRect(1, 1, content.width(), captionHeight, QColor(0x2b, 0x57, 0x97));
    painter.setPen(Qt::white);
    QFont font = window->font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(9, 1, content.width() - 16, captionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    painter.drawPixmap(1, captionHeight + 1, content);
    return image;
}

bool savePicture(QWidget* main, QWidget* progress, const char* path)
{
    QImage picture = framed(main);
    const QImage dialog = framed(progress);
    QPainter painter(&picture);
    // Over the lower right of the main window, as it opens over the page,
    // leaving the page's own buttons in sight.
    const QPoint at(picture.width() - dialog.width() - margin, picture.height() - dialog.height() - margin);
    painter.fillRect(QRect(at + QPoint(4, 4), dialog.size()), QColor(0, 0, 0, 70));
    painter.drawImage(at, dialog);
    painter.end();
    return picture.save(QString::fromLocal8Bit(path), "PNG");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: calibratePageShot <file.png>\n");
        return 2;
    }
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    tovrikApp_t::installPlatformHooks();
    // The technician at the printer: every question answered OK.
    setMessageBoxHook([](HWND, const std::wstring&, const std::wstring&, unsigned) { return IDOK; });
    // The main window starts the USB driver program; here the server runs in process.
    setLauncherHook([](const std::wstring&) { return true; });
    setApplicationName(L"Tovrik");

    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.writeLogs = false;
    machine.printer.actionMs = 300;
    machine.name = L"Printer 1";
    config.machines.push_back(machine);
    wendaroServer_t server(config);
    if (!server.start()) {
        std::fprintf(stderr, "the machines server does not start\n");
        return 1;
    }
    mainDlg_t::setDefaultServer(L"localhost", server.port());

    int result = 1;
    {
        mainDlg_t dialog(false);
        tovrikApp().setMainDialog(&dialog);
        dialog.onInitDialog();
        dialog.show();
        calibrateDlg_t* page = dialog.findChild<calibrateDlg_t*>();
        const bool connected = processEventsUntil([&] { return dialog.windowTitle() == QStringLiteral("Printer 1 - Tovrik"); },
                                       20000);
        if (page != nullptr && connected) {
            dialog.controls().tabs->setCurrentIndexQuietly(1);
            dialog.onTabChanged(1);
            QTimer poll;
            poll.setInterval(50);
            bool started = false;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                auto* progress = qobject_cast<staticBatchDlg_t*>(QApplication::activeModalWidget());
                if (progress == nullptr)
                    return;
                if (!started) {
                    started = true;
                    progress->start();
                    return;
                }
                const QTreeWidget* list = progress->list();
                const QString strokes = list->topLevelItemCount() > 2 ? list->topLevelItem(2)->text(2) : QString();
                if (!strokes.startsWith(QStringLiteral("5 Full-Strokes Done")))
                    return;
                poll.stop();
                if (savePicture(&dialog, progress, argv[1]))
                    result = 0;
                progress->reject();  // cancel the run
                progress->reject();  // and close
            });
            poll.start();
            dlgItemAs<QPushButton>(page, calibrateDlgId::fastCleanBubbles)->click();
        }
        if (page == nullptr)
            std::fprintf(stderr, "the main window has no Clean && Calibrate page\n");
        dialog.onDestroy();
        tovrikApp().setMainDialog(nullptr);
    }
    server.stop();
    if (result != 0)
        std::fprintf(stderr, "no picture\n");
    return result;
}
