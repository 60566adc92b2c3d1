// Takes the documentation picture of the Run Tests page: the Operations page
// in a window of its own with its Run Tests tab chosen and one test chosen
// (by default the block test, with its layers and length filled in).
//
//     cmake --build <tree> --target technician_run_tests_shot
//     QVR_PREFIX=$(mktemp -d) xvfb-run -a <tree>/tools/runTestsShot docs/run-tests.png [radio id]
#include "platform/qt/screenshot.h"
#include "technician/controls/tabCtrl.h"
#include "technician/pages/operationsDlg.h"
#include "technician/pages/testsDlg.h"
#include "technician/tovrikApp.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: runTestsShot <file.png> [radio id of the chosen test]\n");
        return 2;
    }
    QApplication application(argc, argv);
    std::setlocale(LC_ALL, "C");
    const int test = argc > 2 ? std::atoi(argv[2]) : testsDlgId::blockTest;

    // The page places its inner pages itself: the window takes its size.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Operations"));
    auto* operations = new operationsDlg_t(&window);
    window.setFixedSize(operations->size());
    tovrikApp().makeBoldFont(operations);
    operations->onInitDialog();
    operations->innerTabs()->setCurrentIndexQuietly(1);
    operations->onTabChanged(1);
    auto* page = static_cast<testsDlg_t*>(operations->page(1));
    page->chooseTest(test);
    page->setControlText(testsDlgId::layers, L"20");
    page->setControlText(testsDlgId::length, L"100");
    page->setControlText(testsDlgId::testFile, L"C:\\Tests\\Feeder_Check.txt");
    window.show();
    QCoreApplication::processEvents();
    if (!saveScreenshot(&window, argv[1])) {
        std::fprintf(stderr, "no picture\n");
        return 1;
    }
    return 0;
}
