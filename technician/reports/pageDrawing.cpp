#include "technician/reports/pageDrawing.h"

#include "machine/timeTexts.h"
#include "platform/qt/printPainter.h"

#include <ctime>

bool drawPrintedPage(printPainter_t& painter, const printedPage_t& page)
{
    if (!painter.active())
        return false;
    std::size_t font = page.fonts.size();
    for (const printedLine_t& line : page.lines) {
        if (line.font != font && line.font < page.fonts.size()) {
            font = line.font;
            painter.setFont(page.fonts[font].height, page.fonts[font].weight);
        }
        painter.printLine(line.x, line.y, line.text, line.colour);
    }
    return true;
}

std::wstring printDateTime()
{
    const std::time_t now = std::time(nullptr);
    return formatDate(now) + L" " + formatTime(now);
}
