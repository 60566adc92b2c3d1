#include "installer/installDecision.h"

#include "installer/driverReplacement.h"
#include "installer/installerNames.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"

using namespace installerNames;

std::wstring installerTitle() {
    return L"Version " + versionToText(installerVersion);
}

installDecision_t decideInstallation() {
    installDecision_t decision;
    installChoice_t& choice = decision.choice;
    choice.secondEdition = fileExists(secondEditionDriverFile) || fileExists(secondEditionTechnicianFile);

    choice.shortcutFolder =
        regReadString(slicerRegistryKey, shortcutFolderValueName, L"", HKEY_LOCAL_MACHINE);
    const std::wstring slicerFolder =
        regReadString(slicerRegistryKey, slicerDirectoryValueName, L"", HKEY_LOCAL_MACHINE);
    if (choice.shortcutFolder.empty() || slicerFolder.empty() || !fileExists(slicerFolder)) {
        decision.outcome = installOutcome_e::missingSlicer_e;
        decision.text = std::wstring(choice.secondEdition ? secondEditionSlicerName : slicerName) +
                        versionToText(installerVersion) + L" must be installed first.";
        return decision;
    }
    // First, whatever the user answers: a driver set aside by a run that
    // did not end goes back in place.
    driverReplacement_t::restoreSetAside(slicerFolder, choice.secondEdition);

    choice.installController = fileExists(controllerFile);
    choice.installTechnician = fileExists(technicianFile) || fileExists(secondEditionTechnicianFile);
    choice.updateOnly = fileExists(updaterFile) && !choice.installTechnician && !choice.installController;
    choice.installDriver = fileExists(secondEditionDriverFile) || fileExists(driverFile);

    decision.outcome = installOutcome_e::ask_e;
    if (choice.installController) {
        decision.text = std::wstring(L"Do you want to install ") + controllerTitle + L"?";
    } else if (choice.installTechnician) {
        decision.text = std::wstring(L"Do you want to install ") +
                        (choice.secondEdition ? secondEditionTechnicianTitle : technicianTitle) + L"?";
    } else if (choice.updateOnly) {
        decision.text = L"Do you want to update the embedded software?";
    } else if (choice.installDriver) {
        decision.text = L"Do you want to update the USB driver?";
    } else {
        decision.outcome = installOutcome_e::nothingToInstall_e;
        decision.text = L"Cannot find any file to install.";
    }
    return decision;
}
