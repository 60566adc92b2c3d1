// The error report the program prints by itself when the machine reports
// an error: what it says and where each line stands on the page.
#pragma once
#include "technician/reports/printedPage.h"

#include <cstdint>
#include <functional>
#include <string>

struct errorReportTexts_t {
    std::uint32_t machineNumber = 0;
    std::wstring errorText;  // the message-table text of the error
    std::wstring dateTime;   // short date, a blank, the time without seconds
    std::wstring description;
    std::wstring modelName;
    std::int32_t layerNumber = 0;
};

// The width of a text in the report's one font, in device units.
using textWidth_t = std::function<int(const std::wstring& text)>;

// width and height: the printable area. The description is word-wrapped at
// 0.8 width as measured by textWidth; what remains after the last full line
// is printed as a line too, even when empty.
printedPage_t layoutErrorReport(int width, int height, const errorReportTexts_t& texts,
                                const textWidth_t& textWidth);
