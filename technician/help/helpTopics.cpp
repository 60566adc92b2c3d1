#include "technician/help/helpTopics.h"

#include "machine/globalNames.h"
#include "machine/textUtils.h"
#include "technician/pageIds.h"

std::wstring helpTopicForPage(int dialogId)
{
    switch (dialogId) {
    case pageId::softwareAndParameters:
        return L"software_and_parameters.htm";
    case pageId::operations:
        return L"Operations\\operations.htm";
    case pageId::cleanAndCalibrate:
        return L"Operations\\clean_and_calibrate.htm";
    case pageId::runTests:
        return L"Operations\\run_tests.htm";
    case pageId::processes:
        return L"Operations\\processes.htm";
    case pageId::motors:
        return L"Operations\\motors.htm";
    case pageId::build:
        return L"Operations\\build.htm";
    case pageId::printerLogs:
        return L"printer_logs.htm";
    default:
        return L"index.htm";
    }
}

std::wstring helpFilePath(const std::wstring& edition)
{
    return getSlicerFolder() + (toUpper(edition) == L"MEROLT" ? L"\\Merolt.chm" : L"\\Tovrik.chm");
}
