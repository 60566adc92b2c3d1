// "Print Parameters..." of the Software && Parameters page: the print
// dialog, then the listed parameters on one page.
#pragma once
#include <string>
#include <utility>
#include <vector>

class QWidget;

// rows: (parameter name, current value formatted with its unit) in list
// order. Nothing is printed unless the user presses OK; a printer that
// cannot be reached prints nothing and says nothing.
void printParameterList(QWidget* parent, int machineNumber,
                        const std::vector<std::pair<std::wstring, std::wstring>>& rows);
