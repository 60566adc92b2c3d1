// A picture of a widget as it is drawn now (QWidget::grab), written as a PNG
// file; works on the offscreen platform and under a virtual X server.
#pragma once
#include <string>

class QWidget;

// False when the widget is null or the file cannot be written.
bool saveScreenshot(QWidget* widget, const std::string& pngPath);
