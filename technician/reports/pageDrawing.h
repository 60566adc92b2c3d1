// Puts a laid-out page (technician/reports/printedPage.h) on paper.
#pragma once
#include "technician/reports/printedPage.h"

class printPainter_t;

// Draws every line in its font and colour; false when the painter is not
// printing.
bool drawPrintedPage(printPainter_t& painter, const printedPage_t& page);
// The date and time a print shows: the short date, a blank, the time
// without seconds.
std::wstring printDateTime();
