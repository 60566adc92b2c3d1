// Whether the program prints an error report by itself when the machine
// reports an error. Off at start; only the logs page's "Automatically print
// errors" box writes it, and the error-report printing reads it.
#pragma once

bool printErrorsAutomatically();
void setPrintErrorsAutomatically(bool on);
