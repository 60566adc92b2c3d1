// What an installation does, as decided from the distribution's files: the
// kind of installation, the edition, and the Start-menu folder under which
// its shortcuts go. Written before the worker starts, read-only afterwards.
#pragma once
#include <string>

struct installChoice_t {
    bool updateOnly = false;        // only the embedded-software updater to install
    bool installTechnician = false; // the edition's technician program
    bool installController = false; // the control program
    bool installDriver = false;     // a USB driver program
    bool secondEdition = false;     // the distribution is of the second edition
    std::wstring shortcutFolder;    // under the common Start-menu programs folder
};
