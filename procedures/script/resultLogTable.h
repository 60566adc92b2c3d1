// The files a script writes measured values into: "resultLog" selects one by
// name, and the value of the next call to complete goes there as one line
// (a call that fails, its link lost or its machine stopped, writes nothing).
// Each name is opened (and emptied) at its first use in a run and closed
// when the run ends.
#pragma once
#include <cstdint>
#include <string>

// Opens the file on its first use in this run and selects it.
void selectResultLog(const std::string& name);
// Clears the selected and the pending result log.
void clearResultLogSelection();
// After a call returned value: a pending log receives the value and the
// selection is cleared; then the selected log becomes the pending one.
void resultLogAfterCall(std::int32_t value);
// Clears the selection, then flushes, closes and forgets every result log.
void closeResultLogs();
// How many result logs are open (for checks).
std::size_t openResultLogCount();
bool resultLogPending();
