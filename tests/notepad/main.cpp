#include "tests/support/qt/widgetTestMain.h"

int main(int argc, char** argv) { return runWidgetTests(argc, argv, "notepad"); }
