// Replacing the installed USB driver program. The running driver is asked to
// close (its own "/c", then the registry value it watches) and awaited
// through its single-instance mutex, for a bounded time. Its file is not
// deleted but moved aside, so that an installation that cannot put the new
// driver in place (a failed copy that the user cancels, a distribution that
// lacks the edition's driver) can put the old one back: the printer is never
// left without a driver.
#pragma once
#include <string>

class driverReplacement_t {
public:
    // The installed driver of the edition, in the installation folder.
    explicit driverReplacement_t(bool secondEdition);
    driverReplacement_t(const driverReplacement_t&) = delete;
    driverReplacement_t& operator=(const driverReplacement_t&) = delete;

    // The edition's driver program file name ("Kilmesh.exe" or "Wendaro.exe").
    static std::wstring driverFileName(bool secondEdition);

    // An installer killed between setting the driver aside and putting it
    // back leaves the printer without one. When the edition's driver is
    // missing from the folder, the newest set-aside copy ("<driver>.old" or
    // "<driver>_<n>.old": latest write time, then highest number) is put
    // back; older copies are left as they are. True when one was put back.
    static bool restoreSetAside(const std::wstring& folder, bool secondEdition);

    // Asks the running driver to close, waits up to 100 x 50 ms for it to
    // release its mutex, then moves the installed file aside (retrying for
    // up to 12 s while it stays in place).
    void closeAndSetAside();
    // After the copies: when the new driver is in place, the old file goes;
    // otherwise the old file is put back in place.
    void finish(bool newDriverInPlace);

private:
    void waitForDriverToClose();
    void setAside();

    bool secondEdition_;
    std::wstring installedPath_;
    std::wstring asidePath_; // where the old file waits; empty when none was moved
};
