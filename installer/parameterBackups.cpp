#include "installer/parameterBackups.h"

#include "installer/installerNames.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/timeTexts.h"
#include "platform/files.h"

#include <locale>
#include <sstream>

int machineNumberOfFolder(const std::wstring& folderName) {
    std::wistringstream in(getFileTitle(folderName));
    in.imbue(std::locale::classic());
    int number = 0;
    // A number too large for an int is no machine number.
    if (!(in >> number))
        return 0;
    return number;
}

void backupParameterFiles(std::time_t now) {
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr)
        return;
    const std::wstring dateName = formatDayMonYear(local);
    for (const fileEntry_t& entry : findFiles(getBaseFolder() + L"/*.*")) {
        if (!entry.isFolder || machineNumberOfFolder(entry.name) <= 0)
            continue;
        const std::wstring backups = entry.fullPath + L"/" + installerNames::backupsFolderName;
        createDirectory(backups); // an existing folder is fine
        const std::wstring source =
            entry.fullPath + L"/" + settingsFolderName + L"/" + machineParametersFileName;
        const std::wstring target = getFreeFileName(backups + L"/" + dateName, L"txt", 200);
        copyFile(source, target, true);
    }
}
