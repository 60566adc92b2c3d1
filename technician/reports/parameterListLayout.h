// The printed parameter list: a title, one row per listed parameter
// ("name = value unit") spread over the middle of the page, and a footer
// with the program's version and the time of printing.
#pragma once
#include "technician/reports/printedPage.h"

#include <string>
#include <utility>
#include <vector>

using parameterRows_t = std::vector<std::pair<std::wstring, std::wstring>>;

// width and height: the printable area. rows: (parameter name, value with
// its unit) in list order.
printedPage_t layoutParameterList(int width, int height, int machineNumber, const parameterRows_t& rows,
                                  const std::wstring& versionText, const std::wstring& dateTime);
