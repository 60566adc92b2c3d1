// The machine's folder tree under the data root, the files the device writes
// there (logs, the remembered embedded version, the empty model) and the
// start of the slicer and the status program.
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/longnameStream.h"
#include "machine/machineHostIDname.h"
#include "machine/machineParam.h"
#include "machine/programUtils.h"
#include "machine/qvrCommDev.h"
#include "machine/textFileIo.h"
#include "machine/textUtils.h"
#include "machine/timeTexts.h"
#include "machine/wstr.h"
#include "platform/identity.h"
#include <cmath>
#include <ctime>

std::wstring qvrCommDev_t::machineFolderLocked() { return baseFolder + L"/" + toStr(status.machineID()); }

std::wstring qvrCommDev_t::getBaseFolderOfDevice()
{
    lockGuard_t guard(lock);
    return baseFolder;
}

std::wstring qvrCommDev_t::getMachineFolder()
{
    lockGuard_t guard(lock);
    return machineFolderLocked();
}

std::wstring qvrCommDev_t::getSettingsFolder() { return getMachineFolder() + L"/" + settingsFolderName; }
std::wstring qvrCommDev_t::getHistoryFolder() { return getMachineFolder() + L"/" + historyFolderName; }
std::wstring qvrCommDev_t::getMachineReportPath() { return getMachineFolder() + L"/" + machineReportFileName; }
std::wstring qvrCommDev_t::getParametersFilePath() { return getSettingsFolder() + L"/" + machineParametersFileName; }
std::wstring qvrCommDev_t::getFactoryParametersPath() { return getSettingsFolder() + L"/" + factoryParametersFileName; }
std::wstring qvrCommDev_t::getOpenedParamsPath() { return getSettingsFolder() + L"/" + openedParamsFileName; }
std::wstring qvrCommDev_t::getUpdatesPath() { return getSettingsFolder() + L"/" + updatesFileName; }
std::wstring qvrCommDev_t::getEmbeddedVersionPath() { return getSettingsFolder() + L"/" + embeddedVersionFileName; }
std::wstring qvrCommDev_t::getModelsHistoryPath() { return getSettingsFolder() + L"/" + modelsHistoryFileName; }
std::wstring qvrCommDev_t::getLastFilenamePath() { return getSettingsFolder() + L"/" + lastFilenameFileName; }

std::wstring qvrCommDev_t::getNewHistoryFilePath()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localTime(now, local);
    const auto twoDigits = [](int value) {
        std::wstring text = toStr(value);
        return text.size() < 2 ? L"0" + text : text;
    };
    const std::wstring base =
        getHistoryFolder() + L"/" + formatDayMonYear(local) + L"_" + twoDigits(local.tm_hour) + twoDigits(local.tm_min);
    return getFreeFileName(base, L"TXT", 200);
}

void qvrCommDev_t::createMachineFolders()
{
    const std::wstring folder = getMachineFolder();
    // Existing folders are left alone; failures show later as unwritten files.
    createFolder(folder);
    createFolder(folder + L"/" + dailyLogsFolderName);
    createFolder(folder + L"/" + modelsLogsFolderName);
    createFolder(folder + L"/" + historyFolderName);
    createFolder(folder + L"/" + settingsFolderName);
}

void qvrCommDev_t::createFoldersIfIdKnown()
{
    lockGuard_t guard(lock);
    if (status.machineID() != 0)
        createMachineFolders();
}

void qvrCommDev_t::logParameterChange(const machineParam_t& param, std::int32_t oldValue)
{
    const std::int32_t newValue = getParamValue(param);
    const std::wstring name = param.name();
    const std::time_t now = std::time(nullptr);
    const std::wstring when = formatDate(now) + L" " + getTimeNow();
    std::wstring base;
    std::uint32_t machineId = 0;
    {
        lockGuard_t guard(lock);
        base = baseFolder;
        machineId = status.machineID();
    }

    // Appended logs fail silently: at most the line is lost.
    basic_longname_ofstream<char> report(getMachineReportPath(), std::ios_base::out | std::ios_base::app);
    if (report.is_open()) {
        report << wstrToStr(wstr_t() << when << L" -> " << L"Value of parameter: " << name << L", has changed from "
                                     << oldValue << L" to " << newValue)
               << '\n';
        report.close();
    }

    const std::wstring logFolder = base + L"/" + parametersLogFolderName;
    if (!fileExists(logFolder))
        createFolder(logFolder);
    const std::wstring logPath = logFolder + L"/" + name + L".LOG";
    const bool isNew = !fileExists(logPath);
    basic_longname_ofstream<wchar_t> log(logPath, std::ios_base::out | std::ios_base::app);
    if (!log.is_open())
        return;
    if (isNew)
        log << L"Parameter Log: " << name << L"\n\n\n";
    log << (wstr_t() << L"ID #" << machineId << L", " << when << L" -> " << L"Value has changed from " << oldValue
                     << L" to " << newValue)
        << L'\n';
    log.close();
}

void qvrCommDev_t::rememberEmbeddedVersion(std::uint16_t version)
{
    const std::wstring path = getEmbeddedVersionPath();
    {
        basic_longname_ifstream<char> in(path);
        std::int32_t stored = 0;
        if (in.is_open() && (in >> stored) && stored == version)
            return;
    }
    replaceTextFile(path, wstrToStr(toStr(version)) + "\n");
}

bool qvrCommDev_t::buildEmptyModel(std::int32_t layers, std::int32_t lengthMm, std::uint8_t c, std::uint8_t d)
{
    const std::wstring path = getMachineFolder() + L"/" + emptyModelFileName;
    // 64-bit: a long block must not wrap into a short one.
    const auto height = static_cast<std::int64_t>(std::ceil((layers - 1) * 16.8));
    const std::int64_t width = (static_cast<std::int64_t>(lengthMm) * 1000000 -
                                defaultParameterValue(112) - defaultParameterValue(59)) /
                               10000;
    wstr_t model;
    model << L"$ 0 0 0 0 0 " << height << L" " << width << L" " << static_cast<std::int32_t>(16.8 * 10000) << L" "
          << emptyModelName << L"\n";
    const std::wstring layerLines = wstr_t() << L"@ " << width << L"\n#\n";
    for (std::int32_t i = 0; i < layers; ++i)
        model += layerLines;
    model << L"\n$\n";
    // Written beside and renamed: a model that was not written whole is
    // never handed over, and the previous one is not built in its place.
    if (!replaceTextFile(path, wstrToStr(model)))
        return false;
    if (getMachineState() == 2)
        sendCommand(132);
    if (c != 0 || d != 0) {
        packetBuffer_t payload(commandPacketCapacity);
        const std::uint8_t bytes[6] = {0, 0, 0, 0, c, d};
        payload.append(bytes, 6);
        sendCommand(157, &payload);
    }
    sendModelFile(path, 2, 1, L"", 1, 1999, 0, 0, L"");
    return true;
}

bool qvrCommDev_t::runSlicer(const fileSendParams_t& request, std::int32_t m, bool q, std::int32_t h)
{
    wstr_t arguments;
    arguments << L"-s \"" << request.name << L"\" -m " << m << L" -l " << request.integer(1) << L" -o \""
              << request.displayName << L"\" -t " << request.integer(12) << L" -h " << h;
    if (q)
        arguments << L" -q";
    return runProgram(getSlicerAppPath(), arguments, true);
}

bool qvrCommDev_t::runStatusProgram(const machineHostIDname_t& machine, const std::wstring& filePath)
{
    wstr_t arguments;
    if (machine.machineID != 0) {
        arguments << machine.host << L" " << machine.machineID;
        if (!filePath.empty())
            arguments << L" \"" << filePath.substr(0, filePath.find(tempModelFileName)) << L"\"";
    }
    return runProgram(getStatusAppPath(), arguments, true);
}
