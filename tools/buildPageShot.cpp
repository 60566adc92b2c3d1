// Takes the documentation picture of the Build page: the page in a window of
// its own, connected to a simulated printer of the machines server stand-in
// (in process, on a free port) that builds a model; once part of the model
// is built the picture is saved, with the build still running.
//
//     cmake --build <tree> --target technician_build_page_shot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/tools/buildPageShot docs/operations-build.png [layers]
//
// The printer's layers go wrong now and then as they do in the demo, so the
// picture shows good and bad values.
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/fileUtils.h"
#include "machine/sharedLock.h"
#include "machine/textFileIo.h"
#include "platform/qt/processEventsUntil.h"
#include "platform/qt/screenshot.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/pages/buildDlg.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QVBoxLayout>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// A block model of n layers of 0.168 mm.
std::string modelText(int layers)
{
    std::string text = "$ 0 0 0 0 0 " + std::to_string((layers - 1) * 17) + " 4000 168000 Demo_Block\n";
    for (int i = 0; i < layers; ++i)
        text += "@ 4000\n#\n";
    return text + "\n$\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: buildPageShot <file.png> [layers built before the picture]\n");
        return 2;
    }
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    const int shownLayers = argc > 2 ? std::max(2, std::atoi(argv[2])) : 64;
    const std::wstring model = L"C:/QVR_Printers/QVR_SHARE/Demo_Block.ZS";
    createFolder(L"C:/QVR_Printers");
    createFolder(L"C:/QVR_Printers/QVR_SHARE");
    if (!replaceTextFile(model, modelText(shownLayers * 2))) {
        std::fprintf(stderr, "cannot write the model file\n");
        return 1;
    }

    wendaroConfig_t config;
    config.port = 0;
    wendaroMachineConfig_t machine;
    machine.printer.writeLogs = false;
    machine.printer.actionMs = 0;
    machine.printer.layerMs = 60;
    config.machines.push_back(machine);
    wendaroServer_t server(config);
    std::wstring error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "the machines server does not start\n");
        return 1;
    }

    // A machine whose DZ is calibrated: its layers come out as thick as the
    // model's, so the height and thickness lamps judge the layers alone.
    server.printer(1).setMemoryWord(115, machine.printer.bestDz);

    sharedLock_t lock;
    auto device = std::make_unique<qvrClientDev_t>(0, lock);
    setCurrentClientDevice(device.get());
    device->connect(L"localhost", 1, true, server.port());

    QWidget window;
    window.setWindowTitle(QStringLiteral("Build"));
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    auto* page = new buildDlg_t(&window);
    column->addWidget(page);
    tovrikApp().makeBoldFont(page);
    page->onInitDialog();
    window.show();

    int result = 1;
    if (processEventsUntil([&] { return device->getMachineState() == 7; }, 20000)) {
        page->setZsFile(L"C:\\QVR_Printers\\QVR_SHARE\\Demo_Block.ZS");
        page->onBuild();
        // What the main dialog does on every status and every layer record.
        const bool built = processEventsUntil(
            [&] {
                device->requestLayerRecords(10);
                page->computeStatistics();
                return device->getLastReceivedLayerIndex() >= shownLayers;
            },
            60000);
        page->computeStatistics();
        QCoreApplication::processEvents();
        if (built && saveScreenshot(&window, argv[1]))
            result = 0;
    }
    setCurrentClientDevice(nullptr);
    device.reset();
    server.stop();
    if (result != 0)
        std::fprintf(stderr, "no picture\n");
    return result;
}
