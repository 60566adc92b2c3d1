// The installer's decision: from the program files in the distribution
// folder (the current folder) and the slicer's registry key, what kind of
// installation this is and the one question to ask, or why there is nothing
// to do. No user interface: the dialog shows what this decides.
#pragma once
#include "installer/installChoice.h"

#include <string>

enum class installOutcome_e {
    missingSlicer_e,    // the slicer is not installed: `text` says which one
    nothingToInstall_e, // no known program file: `text` says so
    ask_e,              // `text` is the Yes/No question
};

struct installDecision_t {
    installOutcome_e outcome = installOutcome_e::nothingToInstall_e;
    installChoice_t choice;
    std::wstring text;
};

installDecision_t decideInstallation();

// The window title: "Version 2.0".
std::wstring installerTitle();
