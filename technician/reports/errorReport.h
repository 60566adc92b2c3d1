// Prints the error report on the printer of platform.conf, without a
// dialog; a printer that cannot be reached prints nothing and says nothing.
#pragma once
#include "technician/reports/errorReportLayout.h"

// texts.dateTime is filled here, when printing starts.
void printErrorDetails(errorReportTexts_t texts);
