#include "technician/reports/parameterListLayout.h"

#include "machine/wstr.h"

#include <algorithm>

namespace {

constexpr std::uint32_t titleColour = 0x0000ff;
constexpr std::uint32_t rowColour = 0x000000;
constexpr std::uint32_t footerColour = 0xc00000;
// Fewer rows than this do not get taller lines.
constexpr int minimumRows = 13;

enum fontIndex_e : std::size_t { title_e, row_e, footer_e };

}  // namespace

printedPage_t layoutParameterList(int width, int height, int machineNumber, const parameterRows_t& rows,
                                  const std::wstring& versionText, const std::wstring& dateTime)
{
    const int rowCount = static_cast<int>(rows.size());
    const int lineHeight = height / (std::max(rowCount, minimumRows) + 2);
    printedPage_t page;
    page.fonts = {printedFont_t{lineHeight / 2, 700}, printedFont_t{lineHeight / 2, 400},
                  printedFont_t{lineHeight / 4, 400}};
    const int x = width / 10;
    page.lines.push_back(
        printedLine_t{x, height / 10, L"Parameters List For Machine #" + toStr(machineNumber), titleColour, title_e});

    // Evenly from H/5 to 4H/5, each position computed whole so that the
    // last row stands exactly at 4H/5; one row stands at H/5 (and does not
    // divide by zero).
    const int top = height / 5;
    const long long span = 4LL * height / 5 - top;
    for (int i = 0; i < rowCount; ++i) {
        const int y = rowCount > 1 ? top + static_cast<int>(span * i / (rowCount - 1)) : top;
        const auto& [name, value] = rows[static_cast<std::size_t>(i)];
        page.lines.push_back(printedLine_t{x, y, name + L" = " + value, rowColour, row_e});
    }

    const int footerY = 9 * height / 10;
    page.lines.push_back(printedLine_t{x, footerY, L"Software Version " + versionText, footerColour, footer_e});
    page.lines.push_back(
        printedLine_t{x, footerY + lineHeight / 4, L"Date of print: " + dateTime, footerColour, footer_e});
    return page;
}
