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

using namespace installerNames;

namespace {

constexpr int closeAttempts = 100;
constexpr auto closePoll = std::chrono::milliseconds(50);
// The driver has released its mutex; give it a moment to finish exiting.
constexpr auto afterClose = std::chrono::milliseconds(200);
constexpr int moveRetries = 24;
constexpr auto moveRetryPause = std::chrono::milliseconds(500);

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
