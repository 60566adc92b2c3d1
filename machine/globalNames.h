// Every file, folder, registry key and value name by which the system finds
// its data, defined once; nothing else spells them. Also the data-root and
// slicer lookups, the text form of version numbers and the buffer of the
// printer's message texts.
#pragma once
#include <cstdint>
#include <string>

// Inside a machine folder.
inline constexpr wchar_t dailyLogsFolderName[] = L"Daily_Logs";
inline constexpr wchar_t modelsLogsFolderName[] = L"Models_Logs";
inline constexpr wchar_t settingsFolderName[] = L"Settings";
inline constexpr wchar_t historyFolderName[] = L"History";
inline constexpr wchar_t machineReportFileName[] = L"MachineReport.log";
// Inside "Settings".
inline constexpr wchar_t machineParametersFileName[] = L"MachineParameters.txt";
inline constexpr wchar_t factoryParametersFileName[] = L"Factory_Parameters.txt";
inline constexpr wchar_t openedParamsFileName[] = L"OpenedParams.txt";
inline constexpr wchar_t updatesFileName[] = L"Updates.txt";
inline constexpr wchar_t modelsHistoryFileName[] = L"ModelsHistory.txt";
inline constexpr wchar_t lastFilenameFileName[] = L"LastFilename.txt";
inline constexpr wchar_t embeddedVersionFileName[] = L"EmbeddedVersion.txt";
// In the data root.
inline constexpr wchar_t parametersLogFolderName[] = L"Parameters Log";
inline constexpr wchar_t searchedServersListFileName[] = L"searchedServersList.txt";
inline constexpr wchar_t driverLogFileName[] = L"Wendaro.log";
inline constexpr wchar_t sharedFolderName[] = L"QVR_SHARE";
// The empty model.
inline constexpr wchar_t emptyModelFileName[] = L"EmptyModel.ZS";
inline constexpr wchar_t emptyModelName[] = L"Empty_Model";
// Parameters files.
inline constexpr wchar_t toolsParametersHeading[] = L"Tools Parameters";
inline constexpr wchar_t glueParametersHeading[] = L"Glue Parameters";
inline constexpr char parametersFileVersionKey[] = "QVR Parameters File Version";
inline constexpr char machineIdKey[] = "QVR Machine ID";
inline constexpr wchar_t masterParametersFileName[] = L"Master_Parameters.txt";
// The machine link.
inline constexpr wchar_t tempModelFileName[] = L"_tempQVRfile";
inline constexpr wchar_t defaultHostName[] = L"localhost";
// Registry: the system's key (HKEY_CURRENT_USER).
inline constexpr wchar_t qvrCommRegistryKey[] = L"SOFTWARE\\Brevanquillor\\qvrComm";
inline constexpr wchar_t baseDirectoryValueName[] = L"BaseDirectory";
inline constexpr wchar_t defaultBaseFolder[] = L"C:/QVR_Printers";
inline constexpr wchar_t superUserValueName[] = L"SU";
// Registry: the slicer's key (HKEY_LOCAL_MACHINE).
inline constexpr wchar_t slicerRegistryKey[] = L"SOFTWARE\\Brevanquillor\\Ondrel";
inline constexpr wchar_t slicerDirectoryValueName[] = L"directory";
inline constexpr wchar_t defaultSlicerFolder[] = L"C:\\Program Files\\Corvanta\\Ondrel";
inline constexpr wchar_t slicerAppValueName[] = L"slicerApp";
inline constexpr wchar_t defaultSlicerAppFile[] = L"Ondrel.exe";
inline constexpr wchar_t statusAppValueName[] = L"Pirmelon";
inline constexpr wchar_t defaultStatusAppFile[] = L"Pirmelon.exe";

// The data root: "BaseDirectory" of the system's key, read on every call.
std::wstring getBaseFolder();
std::wstring getSharedFolder();
std::wstring getSearchedServersListPath();
std::wstring getDriverLogPath();
// The slicer's installation folder, also the technician program's own.
std::wstring getSlicerFolder();
std::wstring getSlicerAppPath();
std::wstring getStatusAppPath();

// 12.0 gives "2.0", 12.3 "2.30", 12.105 "2.10 Update 5", 12.05 "2.5".
// Values out of range are clamped.
std::wstring versionToText(double version);

// The message-text buffer: 108 entries of 50 bytes, zero at start. A page
// would be 256 entries; only page 0 exists and the buffer holds what it needs.
inline constexpr std::int32_t messageTextEntrySize = 50;
inline constexpr std::int32_t messageTextEntries = 108;
inline constexpr std::int32_t messageTextPageBytes = 256 * messageTextEntrySize;
char* messageTextBuffer();
// The start of page pageIndex in the buffer; null for any page but 0, which
// would lie outside it.
const char* bindPage(std::int32_t pageIndex);
