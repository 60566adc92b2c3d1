// demoInstall: lays out a demonstration installation in the prefix from the
// distribution folder, the same files the installer installs, so that the
// demo and the distribution never drift apart.
//
//     demoInstall <distribution folder>
//
// It leaves the slicer's registry values as the slicer's own installation
// does (HKEY_LOCAL_MACHINE: "directory", the folder by which the technician
// program finds its installation, and "ShortcutFolder", the Start-menu
// folder the installer puts its shortcuts in), creates those folders,
// copies every file of the distribution but the installer itself into the
// installation folder and prints that folder's Linux path. The installer
// can then also be run from the distribution against this prefix.
//
// A program of an earlier demo may still be running (Wendaro.exe keeps
// running after the technician program closes): each file is written
// beside its target and renamed over it, so the running one keeps its old
// file and the next start takes the new one.
//
// With "--windows-folder" it only creates and prints the prefix's Windows
// folder, where NOTEPAD.EXE belongs.
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "machine/textUtils.h"
#include "platform/codePage.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/prefix.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr wchar_t installerFile[] = L"Fennicot.exe";
constexpr wchar_t shortcutFolderValueName[] = L"ShortcutFolder";
constexpr wchar_t shortcutFolderName[] = L"Corvanta";

// Creates the folder and every missing parent.
bool createFolders(const std::wstring& path) {
    std::wstring partial;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
            partial = path.substr(0, i);
            if (partial.size() > 2 && !isFolder(partial) && !createDirectory(partial))
                return false;
        }
    }
    return isFolder(path);
}

bool fail(const std::string& what) {
    std::fprintf(stderr, "demoInstall: %s\n", what.c_str());
    return false;
}

// The slicer's installation as it leaves the registry and its folders.
bool installSlicer(const std::wstring& folder) {
    if (!createFolders(folder))
        return fail("cannot create " + wstrToStr(folder));
    const std::wstring programs = specialFolder(CSIDL_COMMON_PROGRAMS);
    if (!programs.empty())
        createFolders(programs + L"\\" + shortcutFolderName);
    if (!regWriteString(slicerRegistryKey, slicerDirectoryValueName, folder, HKEY_LOCAL_MACHINE) ||
        !regWriteString(slicerRegistryKey, shortcutFolderValueName, shortcutFolderName, HKEY_LOCAL_MACHINE))
        return fail("cannot write the registry");
    return true;
}

bool copyDistribution(const std::string& distribution, const std::wstring& folder) {
    std::error_code error;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(distribution, error))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    if (error || names.empty())
        return fail("no distribution in " + distribution + " (build the target \"distribution\")");
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::wstring wideName = utf8ToWide(name);
        if (wideName == installerFile)
            continue;
        const std::wstring target = folder + L"/" + wideName;
        const std::wstring fresh = target + L".new";
        if (!copyFile(toSystemPath(distribution + "/" + name), fresh, false) ||
            !moveFileReplace(fresh, target)) {
            deleteFile(fresh);
            return fail("cannot install " + name);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demoInstall <distribution folder> | --windows-folder\n");
        return 2;
    }
    prefixRoot(); // creates the prefix with its defaults when missing
    const bool windowsOnly = std::string(argv[1]) == "--windows-folder";
    const std::wstring folder = windowsOnly ? windowsFolder() : std::wstring(defaultSlicerFolder);
    if (windowsOnly ? !createFolders(folder) : !installSlicer(folder) || !copyDistribution(argv[1], folder))
        return 1;
    const std::optional<std::string> linuxFolder = resolvePath(folder);
    if (!linuxFolder) {
        std::fprintf(stderr, "demoInstall: cannot map %s\n", wstrToStr(folder).c_str());
        return 1;
    }
    std::printf("%s\n", linuxFolder->c_str());
    return 0;
}
