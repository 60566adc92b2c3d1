// Draws the picture of the Printer Logs page for the documentation: the main
// window connected to a simulated printer (served in process, on a free
// port) that builds a small model, with today's daily log and the build's
// layers on the page. Run under a virtual X server, in a prefix of its own:
//
//     cmake --build <tree> --target technician_draw_logs_screenshot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/tools/drawLogsScreenshot docs/printer-logs.png
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/textFileIo.h"
#include "platform/process.h"
#include "platform/qt/processEventsUntil.h"
#include "platform/qt/screenshot.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/controls/tabCtrl.h"
#include "technician/mainDlg.h"
#include "technician/pages/logDlg.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QTabBar>
#include <QThread>
#include <QListWidget>
#include <QTreeWidget>
#include <clocale>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint32_t machineId = 1;

std::string modelText(int layers)
{
    std::string text = "$ 0 0 0 0 0 " + std::to_string((layers - 1) * 168 / 10) + " 4000 168000 Bracket\n";
    for (int i = 0; i < layers; ++i)
        text += "@ 4000\n#\n";
    return text + "\n$\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: drawLogsScreenshot <file.png> [<model log.png>]\n");
        return 2;
    }
    initProcessCommandLine(argc, argv);
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    tovrikApp_t::installPlatformHooks();
    initTechnicianResources();
    // No driver program is started for the picture.
    setLauncherHook([](const std::wstring&) { return true; });

    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.machineID = machineId;
    machine.printer.layerMs = 250;
    machine.name = L"Printer 1";
    config.machines.push_back(machine);
    wendaroServer_t server(config);
    if (!server.start(nullptr)) {
        std::fprintf(stderr, "drawLogsScreenshot: the simulated printer does not start\n");
        return 1;
    }

    tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\" 1");
    int result = 1;
    {
        mainDlg_t dialog(false);
        dialog.setServer(L"localhost", server.port());
        tovrikApp().setMainDialog(&dialog);
        dialog.onInitDialog();
        dialog.show();
        // The pointer away from the log view, which holds its reloads while
        // the pointer rests over it.
        QCursor::setPos(0, 0);
        processEventsUntil([&] { return dialog.device()->getMachineID() == machineId; }, 20000);
        const std::wstring model = getBaseFolder() + L"/Bracket.ZS";
        replaceTextFile(model, modelText(60));
        server.printer(machineId).queueModelFile(model);
        dialog.controls().tabs->tabBar()->setCurrentIndex(mainDlg_t::logsTab);
        logDlg_t* page = dialog.logsPage();
        processEventsUntil([&] { return page->layerList()->topLevelItemCount() >= 24; }, 60000);
        processEventsUntil([] { return false; }, 1000);
        if (saveScreenshot(&dialog, argv[1]))
            result = 0;
        else
            std::fprintf(stderr, "drawLogsScreenshot: cannot write %s\n", argv[1]);
        // A second picture, of the build's own log, when asked for.
        if (argc == 3 && page->modelList()->count() > 0) {
            page->modelList()->setCurrentRow(0);
            processEventsUntil([] { return false; }, 500);
            if (!saveScreenshot(&dialog, argv[2]))
                result = 1;
        }
        dialog.onDestroy();
        tovrikApp().setMainDialog(nullptr);
    }
    server.stop();
    return result;
}
