#include "technician/reports/parameterListReport.h"

#include "link/qvrClientSocket.h"
#include "machine/globalNames.h"
#include "platform/qt/printJob.h"
#include "platform/qt/printPainter.h"
#include "technician/reports/pageDrawing.h"
#include "technician/reports/parameterListLayout.h"

void printParameterList(QWidget* parent, int machineNumber,
                        const std::vector<std::pair<std::wstring, std::wstring>>& rows)
{
    printJob_t job(L"Parameters List");
    if (!job.askUser(parent))
        return;
    printPainter_t painter(job);
    if (!painter.active())
        return;
    const printedPage_t page =
        layoutParameterList(painter.width(), painter.height(), machineNumber, rows,
                            versionToText(qvrClientSocket_t::clientVersion), printDateTime());
    drawPrintedPage(painter, page);
    painter.end();
}
