// The names the installer knows: the distribution's program files (bare
// names, relative to the distribution folder, which is the current folder),
// its texts and the version it shows. The machine library's global names
// (folders, registry keys) are used where they exist.
#pragma once

namespace installerNames {
// The USB driver program of each edition.
inline constexpr wchar_t driverFile[] = L"Wendaro.exe";
inline constexpr wchar_t secondEditionDriverFile[] = L"Kilmesh.exe";
// The technician program and its help file, of each edition.
inline constexpr wchar_t technicianFile[] = L"Tovrik.exe";
inline constexpr wchar_t technicianHelpFile[] = L"Tovrik.chm";
inline constexpr wchar_t secondEditionTechnicianFile[] = L"Merolt.exe";
inline constexpr wchar_t secondEditionTechnicianHelpFile[] = L"Merolt.chm";
inline constexpr wchar_t technicianTitle[] = L"Tovrik";
inline constexpr wchar_t secondEditionTechnicianTitle[] = L"Merolt";
// The control program, the embedded-software updater and the rest.
inline constexpr wchar_t controllerFile[] = L"Dorvanel.exe";
inline constexpr wchar_t controllerTitle[] = L"Dorvanel";
inline constexpr wchar_t updaterFile[] = L"Pevrale.exe";
inline constexpr wchar_t cubeModelFile[] = L"cube.zs";
inline constexpr wchar_t targetTestFile[] = L"target_test.txt";
inline constexpr wchar_t ostravelFile[] = L"Ostravel.exe";
// The slicer each edition needs, by the name its users know.
inline constexpr wchar_t slicerName[] = L"Ondrel ";
inline constexpr wchar_t secondEditionSlicerName[] = L"Yorvel ";
// The slicer key's value naming the Start-menu folder of the shortcuts.
inline constexpr wchar_t shortcutFolderValueName[] = L"ShortcutFolder";
// The driver's single-instance mutex and the value that asks it to close
// (under the slicer's key, current user).
inline constexpr wchar_t driverMutexName[] = L"Wendaro is OK mutex";
inline constexpr wchar_t closeDriverValueName[] = L"To Close Master Program?";
// Inside each machine folder.
inline constexpr wchar_t backupsFolderName[] = L"Backups";
} // namespace installerNames

// The installer's version, shown as "2.0".
inline constexpr double installerVersion = 12.0;
