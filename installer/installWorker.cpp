#include "installer/installWorker.h"

#include "installer/driverReplacement.h"
#include "installer/installerNames.h"
#include "installer/parameterBackups.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/messageBox.h"
#include "machine/programUtils.h"
#include "machine/systemInfo.h"
#include "machine/wstr.h"
#include "platform/files.h"
#include "platform/windowTable.h"

#include <ctime>
#include <optional>
#include <utility>

using namespace installerNames;

installWorker_t::installWorker_t(installChoice_t choice) : choice_(std::move(choice)) {}

installWorker_t::~installWorker_t() = default;

void installWorker_t::start(HWND window) {
    window_ = window;
    thread_.start(&installWorker_t::threadProcedure, this);
}

unsigned installWorker_t::threadProcedure(void* argument) {
    auto* worker = static_cast<installWorker_t*>(argument);
    worker->install();
    worker->done_.set();
    postMessage(worker->window_, WM_APP, 0, 0);
    return 0;
}

std::wstring installWorker_t::statusText() const {
    lockGuard_t guard(statusLock_);
    return statusText_;
}

void installWorker_t::setStatus(const std::wstring& text, bool post) {
    {
        lockGuard_t guard(statusLock_);
        statusText_ = text;
    }
    if (post)
        postMessage(window_, WM_APP, 0, 0);
}

void installWorker_t::install() {
    if (choice_.updateOnly)
        backupParameterFiles(std::time(nullptr));

    std::optional<driverReplacement_t> driver;
    if (choice_.installDriver) {
        driver.emplace(choice_.secondEdition);
        setStatus(L"Closing old driver...", true);
        driver->closeAndSetAside();
    }

    setStatus(L"Installing new software...", true);
    bool driverCopied = false;
    bool abandoned = false;
    try {
        driverCopied = copyDriver();
        copyTheOtherFiles();
    } catch (const endThread_t&) {
        abandoned = true;
    }
    if (driver)
        driver->finish(driverCopied);
    if (abandoned)
        return;

    if (choice_.updateOnly) {
        // Shown by the final post.
        setStatus(L"Creating Shortcuts...", false);
        startUpdater_ = true;
    }
}

bool installWorker_t::copyDriver() {
    return copyFileWithRetry(driverReplacement_t::driverFileName(choice_.secondEdition));
}

void installWorker_t::copyTheOtherFiles() {
    copyFileWithRetry(updaterFile);
    copyFileWithRetry(masterParametersFileName);
    if (choice_.installController)
        copyFileWithRetry(controllerFile);
    if (choice_.installTechnician) {
        copyFileWithRetry(choice_.secondEdition ? secondEditionTechnicianFile : technicianFile);
        copyFileWithRetry(choice_.secondEdition ? secondEditionTechnicianHelpFile : technicianHelpFile);
        copyFileWithRetry(cubeModelFile);
        copyFileWithRetry(targetTestFile);
    }
    copyFileWithRetry(ostravelFile);
}

bool installWorker_t::copyFileWithRetry(const std::wstring& name) {
    if (!fileExists(name))
        return false;
    const std::wstring target = getSlicerFolder() + L"/" + name;
    // A read-only installed copy must not stop the copy.
    setFileNormal(target);
    while (!copyFile(name, target, false)) {
        const std::wstring text = wstr_t() << L"Cannot copy " << name
                                           << L". Close this program if it's open, and retry."
                                           << L"\r\nError: " << lastErrorText();
        if (messageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            throw endThread_t();
    }
    setFileNormal(target);
    return true;
}

void installWorker_t::finish() {
    thread_.join(INFINITE);
    createShortcuts();
    const std::wstring folder = getSlicerFolder();
    // Whatever was installed; a missing program simply does not start.
    runProgram(folder + L"/" + driverReplacement_t::driverFileName(choice_.secondEdition), L"", true);
    if (startUpdater_)
        runProgram(folder + L"/" + updaterFile, L"", true);
}

void installWorker_t::createShortcuts() {
    const std::wstring startMenu = getSpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::wstring desktop = getSpecialFolder(CSIDL_DESKTOPDIRECTORY);
    const std::wstring folder = getSlicerFolder();
    // An unknown special folder would put the links at the root of the drive.
    const std::wstring programs =
        startMenu.empty() ? std::wstring() : startMenu + L"\\" + choice_.shortcutFolder;
    auto link = [](const std::wstring& where, const std::wstring& target, const std::wstring& name,
                   const std::wstring& description) {
        if (!where.empty())
            createShortcut(target, where + L"/" + name, description);
    };

    link(programs, folder + L"/" + updaterFile, L"Embedded Update.lnk",
         L"Update the 3D printer's embedded software");
    if (choice_.installTechnician) {
        const std::wstring title = choice_.secondEdition ? secondEditionTechnicianTitle : technicianTitle;
        const std::wstring target = folder + L"/" + title + L".exe";
        const std::wstring description = L"Application for 3D printer technicians";
        link(programs, target, title + L".lnk", description);
        link(desktop, target, title + L".lnk", description);
    }
    if (choice_.installController) {
        const std::wstring target = folder + L"/" + controllerFile;
        const std::wstring description = L"Advanced application for 3D printer technicians";
        link(programs, target, std::wstring(controllerTitle) + L".lnk", description);
        link(desktop, target, std::wstring(controllerTitle) + L".lnk", description);
    }
}

hresult_t installWorker_t::createShortcut(const std::wstring& target, const std::wstring& link,
                                          const std::wstring& description) {
    return saveShellLink(target, description, link);
}
