#include "technician/pages/currentToolText.h"

std::wstring currentToolText(int tool)
{
    switch (tool) {
    case 0:
        return L"Cutting Knife";
    case 4:
        return L"1mm Pen";
    case 5:
        return L"3mm Pen";
    case 6:
    case 7:
        return L"6mm Pen";
    case 9:
        return L"Trimming Knife";
    case -1:
        return L"Without Tool";
    default:
        return L"Unknown";
    }
}
