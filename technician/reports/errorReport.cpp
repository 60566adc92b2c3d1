#include "technician/reports/errorReport.h"

#include "platform/qt/printJob.h"
#include "platform/qt/printPainter.h"
#include "technician/reports/pageDrawing.h"

void printErrorDetails(errorReportTexts_t texts)
{
    texts.dateTime = printDateTime();
    printJob_t job(L"Tovrik Error Details");
    printPainter_t painter(job);
    if (!painter.active())
        return;
    // The wrap measures in the report's one font, so it is set first.
    painter.setFont(painter.height() / 32, 400);
    const printedPage_t page = layoutErrorReport(painter.width(), painter.height(), texts,
                                                 [&painter](const std::wstring& text) { return painter.textWidth(text); });
    drawPrintedPage(painter, page);
    painter.end();
}
