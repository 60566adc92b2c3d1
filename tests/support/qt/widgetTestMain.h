// The main of a widget test executable: one QApplication on the offscreen
// platform with a private runtime folder (mode 0700) and a temporary prefix,
// the C locale for numbers, and child helpers run before any of that.
#pragma once

// name: a short word for the temporary folder ("installer").
int runWidgetTests(int argc, char** argv, const char* name);
