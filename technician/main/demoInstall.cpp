// demoInstall: lays out a demonstration installation in the prefix. It
// points the slicer's registry value "directory" (HKEY_LOCAL_MACHINE), by
// which the technician program finds its installation folder, at a folder
// of the prefix's drive C, creates that folder, and prints its Linux path so
// that a set-up script can put the programs there.
//
//     demoInstall ["C:\Program Files\Corvanta\Ondrel"]
//
// With "--windows-folder" it only creates and prints the prefix's Windows
// folder, where NOTEPAD.EXE belongs.
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "machine/textUtils.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/prefix.h"

#include <cstdio>
#include <string>

namespace {

// Creates the folder and every missing parent.
bool createFolders(const std::wstring& path)
{
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

}  // namespace

int main(int argc, char** argv)
{
    const bool windowsOnly = argc > 1 && std::string(argv[1]) == "--windows-folder";
    prefixRoot();  // creates the prefix with its defaults when missing
    const std::wstring folder = windowsOnly ? windowsFolder()
                                : argc > 1  ? strToWstr(argv[1])
                                            : std::wstring(defaultSlicerFolder);
    if (!createFolders(folder)) {
        std::fprintf(stderr, "demoInstall: cannot create %s\n", wstrToStr(folder).c_str());
        return 1;
    }
    if (!windowsOnly && !regWriteString(slicerRegistryKey, slicerDirectoryValueName, folder, HKEY_LOCAL_MACHINE)) {
        std::fprintf(stderr, "demoInstall: cannot write the registry\n");
        return 1;
    }
    const std::optional<std::string> linuxFolder = resolvePath(folder);
    if (!linuxFolder) {
        std::fprintf(stderr, "demoInstall: cannot map %s\n", wstrToStr(folder).c_str());
        return 1;
    }
    std::printf("%s\n", linuxFolder->c_str());
    return 0;
}
