// Before an embedded-software update, each machine's parameters file is
// copied into a dated file of the machine's "Backups" folder, so that the
// parameters can be restored if the update loses them. Failures are silent:
// a machine without a parameters file has nothing to back up.
#pragma once
#include <ctime>
#include <string>

// The machine number a folder name stands for: the integer at the start of
// the name without its extension ("12", "12old", "12.bak" give 12); 0 for
// any other name ("Backups", ".", "..").
int machineNumberOfFolder(const std::wstring& folderName);

// Backs up every machine folder of the data root, naming the copies by the
// local date of `now` ("08Dec26.txt", then "08Dec26_2.txt" on a second run
// that day).
void backupParameterFiles(std::time_t now);
