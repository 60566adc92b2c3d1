#include "installer/driverReplacement.h"

#include "installer/installerNames.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/miscHandle.h"
#include "machine/programUtils.h"
#include "machine/registryUtils.h"
#include "platform/files.h"

#include <chrono>
#include <thread>
#include <vector>

using namespace installerNames;

namespace {

constexpr int closeAttempts = 100;
constexpr auto closePoll = std::chrono::milliseconds(50);
// The driver has released its mutex; give it a moment to finish exiting.
constexpr auto afterClose = std::chrono::milliseconds(200);
constexpr int moveRetries = 24;
constexpr auto moveRetryPause = std::chrono::milliseconds(500);

// The number of a set-aside name of the driver: 1 for "<driver>.old", n for
// "<driver>_<n>.old", 0 for any other name (compared without case).
int setAsideNumber(const std::wstring& name, const std::wstring& driver) {
    const auto upper = [](std::wstring text) {
        for (wchar_t& c : text)
            if (c >= L'a' && c <= L'z')
                c = static_cast<wchar_t>(c - L'a' + L'A');
        return text;
    };
    const std::wstring n = upper(name);
    const std::wstring d = upper(driver);
    const std::wstring old = L".OLD";
    if (n.size() < d.size() + old.size() || n.compare(0, d.size(), d) != 0 ||
        n.compare(n.size() - old.size(), old.size(), old) != 0)
        return 0;
    const std::wstring middle = n.substr(d.size(), n.size() - d.size() - old.size());
    if (middle.empty())
        return 1;
    if (middle.size() < 2 || middle.size() > 4 || middle[0] != L'_')
        return 0;
    int number = 0;
    for (std::size_t i = 1; i < middle.size(); ++i) {
        if (middle[i] < L'0' || middle[i] > L'9')
            return 0;
        number = number * 10 + (middle[i] - L'0');
    }
    return number >= 2 ? number : 0;
}

} // namespace

driverReplacement_t::driverReplacement_t(bool secondEdition)
    : secondEdition_(secondEdition),
      installedPath_(getSlicerFolder() + L"/" + driverFileName(secondEdition)) {}

std::wstring driverReplacement_t::driverFileName(bool secondEdition) {
    return secondEdition ? secondEditionDriverFile : driverFile;
}

void driverReplacement_t::closeAndSetAside() {
    // The distribution's own driver, found by the program search (which
    // starts in the installer's folder), asks a running one to close.
    runProgram(driverFileName(secondEdition_), L"/c", true);

    miscHandle_t mutex;
    bool existed = false;
    mutex.createMutex(driverMutexName, &existed);
    if (existed) {
        mutex.close();
        waitForDriverToClose();
    }
    // When no driver ran, this process holds the mutex while the file moves,
    // so that a driver starting meanwhile leaves at once.
    setAside();
    mutex.close();
}

void driverReplacement_t::waitForDriverToClose() {
    regWriteInt(slicerRegistryKey, closeDriverValueName, 1, HKEY_CURRENT_USER);
    for (int attempt = 0; attempt < closeAttempts; ++attempt) {
        std::this_thread::sleep_for(closePoll);
        miscHandle_t probe;
        bool existed = false;
        probe.createMutex(driverMutexName, &existed);
        if (!existed) {
            std::this_thread::sleep_for(afterClose);
            return;
        }
    }
    // A driver that does not close is not waited for further.
}

void driverReplacement_t::setAside() {
    if (!fileExists(installedPath_))
        return;
    const std::wstring aside = getFreeFileName(installedPath_, L"old", 200);
    for (int retry = 0;; ++retry) {
        if (moveFileReplace(installedPath_, aside)) {
            asidePath_ = aside;
            return;
        }
        if (!fileExists(installedPath_) || retry == moveRetries)
            return;
        std::this_thread::sleep_for(moveRetryPause);
    }
}

void driverReplacement_t::finish(bool newDriverInPlace) {
    if (asidePath_.empty())
        return;
    if (newDriverInPlace) {
        setFileNormal(asidePath_);
        deleteFile(asidePath_);
    } else {
        moveFileReplace(asidePath_, installedPath_);
    }
    asidePath_.clear();
}

bool driverReplacement_t::restoreSetAside(const std::wstring& folder, bool secondEdition) {
    const std::wstring driver = driverFileName(secondEdition);
    const std::wstring installed = folder + L"/" + driver;
    if (fileOrFolderExists(installed))
        return false;
    const fileEntry_t* newest = nullptr;
    int newestNumber = 0;
    const std::vector<fileEntry_t> found = findFiles(installed + L"*.old");
    for (const fileEntry_t& entry : found) {
        const int number = setAsideNumber(entry.name, driver);
        if (entry.isFolder || number == 0)
            continue;
        if (newest == nullptr || entry.lastWrite > newest->lastWrite ||
            (entry.lastWrite == newest->lastWrite && number > newestNumber)) {
            newest = &entry;
            newestNumber = number;
        }
    }
    return newest != nullptr && moveFileReplace(newest->fullPath, installed);
}
