#include "platform/messageBoxHook.h"
#include "tests/support/qt/widgetTestMain.h"

int main(int argc, char** argv) {
    // The installer's boxes carry its own name.
    setApplicationName(L"Fennicot");
    return runWidgetTests(argc, argv, "installer");
}
