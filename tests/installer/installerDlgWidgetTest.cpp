// The installer's dialog: which question each distribution asks (answered
// No: nothing changes), the stops for a missing slicer and an empty
// distribution, a whole installation after Yes, and Enter, Escape and the
// close button doing nothing.
#include "installer/CFennicotDlg.h"
#include "installer/installerNames.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/codePage.h"
#include "platform/messageBoxHook.h"
#include "platform/qt/dlgItem.h"
#include "tests/installer/installerFixture.h"
#include "tests/support/scriptedMessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace installerNames;

namespace {

using InstallerDecisionWidget = installerTest;
using InstallerRunWidget = installerTest;

// The flags of a decision: U update only, T technician, C controller,
// D driver, 2 second edition.
std::string flagsOf(const installChoice_t& c) {
    return std::string(c.updateOnly ? "U" : "") + (c.installTechnician ? "T" : "") +
           (c.installController ? "C" : "") + (c.installDriver ? "D" : "") + (c.secondEdition ? "2" : "");
}

TEST_F(InstallerDecisionWidget, AsksTheQuestionOfTheFilesPresent) {
    struct case_t {
        std::vector<std::wstring> files;
        std::wstring box;
        std::string flags;
    };
    for (const case_t& c : std::vector<case_t>{
             {{L"Dorvanel.exe", L"Tovrik.exe", L"Pevrale.exe", L"Wendaro.exe"},
              L"Do you want to install Dorvanel?",
              "TCD"},
             {{L"Pevrale.exe", L"Tovrik.exe"}, L"Do you want to install Tovrik?", "T"},
             {{L"Merolt.exe", L"Wendaro.exe"}, L"Do you want to install Merolt?", "TD2"},
             {{L"Pevrale.exe", L"Wendaro.exe"}, L"Do you want to update the embedded software?", "UD"},
             {{L"Kilmesh.exe"}, L"Do you want to update the USB driver?", "D2"},
             {{L"Wendaro.exe", L"cube.zs"}, L"Do you want to update the USB driver?", "D"},
             {{L"Tovrik.chm", L"cube.zs", L"Master_Parameters.txt", L"Ostravel.exe"},
              L"Cannot find any file to install.",
              ""},
         }) {
        SCOPED_TRACE(c.flags);
        freshFolders();
        for (const std::wstring& name : c.files)
            distribute(name, "new");
        const bool question = !c.flags.empty();
        scriptedMessageBox_t boxes;
        boxes.expect({c.box, false, L"Version 2.0", question ? 36u : 16u, question ? IDNO : IDOK});

        CFennicotDlg dialog;
        const HWND window = dialog.hwnd();
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);

        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].owner, window);
        EXPECT_TRUE(dialog.isEnded());
        EXPECT_FALSE(dialog.installationStarted());
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Version 2.0"));
        EXPECT_EQ(flagsOf(dialog.choice()), c.flags);
        EXPECT_TRUE(installedNames().empty());
        EXPECT_TRUE(starts().empty());
    }
}

TEST_F(InstallerDecisionWidget, StopsWhenTheSlicerIsNotInstalled) {
    struct case_t {
        bool shortcutFolderSet;
        std::wstring directory; // empty: no value
        std::wstring file;
        std::wstring box;
    };
    for (const case_t& c : std::vector<case_t>{
             {false, slicerFolder, L"Tovrik.exe", L"Ondrel 2.0 must be installed first."},
             {true, L"", L"Tovrik.exe", L"Ondrel 2.0 must be installed first."},
             {true, L"C:\\Program Files\\Nowhere", L"Tovrik.exe", L"Ondrel 2.0 must be installed first."},
             {false, slicerFolder, L"Kilmesh.exe", L"Yorvel 2.0 must be installed first."},
         }) {
        SCOPED_TRACE(wideToUtf8(c.directory + L" " + c.file));
        freshFolders();
        distribute(c.file, "new");
        regDeleteValue(slicerRegistryKey, shortcutFolderValueName, HKEY_LOCAL_MACHINE);
        regDeleteValue(slicerRegistryKey, slicerDirectoryValueName, HKEY_LOCAL_MACHINE);
        if (c.shortcutFolderSet)
            regWriteString(slicerRegistryKey, shortcutFolderValueName, L"Corvanta", HKEY_LOCAL_MACHINE);
        if (!c.directory.empty())
            regWriteString(slicerRegistryKey, slicerDirectoryValueName, c.directory, HKEY_LOCAL_MACHINE);
        scriptedMessageBox_t boxes;
        boxes.expect({c.box, false, L"Fennicot", 16, IDOK});

        CFennicotDlg dialog;
        dialog.DoModal();

        EXPECT_TRUE(dialog.isEnded());
        EXPECT_FALSE(dialog.installationStarted());
        EXPECT_TRUE(installedNames().empty());
        EXPECT_TRUE(starts().empty());
    }
}

// A run killed after setting the driver aside left none in place: the next
// run puts the newest set-aside copy of the edition's driver back as soon as
// it knows the installation folder, before its question (answered No here).
TEST_F(InstallerDecisionWidget, PutsBackTheNewestSetAsideDriverWhenTheDriverIsMissing) {
    struct file_t {
        std::wstring name;
        int age; // seconds before now
    };
    struct case_t {
        const char* name;
        std::wstring distributed;
        std::vector<file_t> installedBefore; // each holds its own name
        std::wstring restored;               // the set-aside copy expected in place, or none
    };
    for (const case_t& c : std::vector<case_t>{
             {"newestByTime",
              L"Tovrik.exe",
              {{L"Wendaro.exe.old", 100}, {L"Wendaro.exe_2.old", 0}, {L"Wendaro.exe_3.old", 50}},
              L"Wendaro.exe_2.old"},
             {"sameTimeHighestNumber",
              L"Tovrik.exe",
              {{L"wendaro.EXE_12.old", 0}, {L"Wendaro.exe_2.old", 0}},
              L"wendaro.EXE_12.old"},
             {"driverInPlace", L"Tovrik.exe", {{L"Wendaro.exe", 0}, {L"Wendaro.exe.old", 0}}, L""},
             {"notASetAsideName", L"Tovrik.exe", {{L"Wendaro.exe_x.old", 0}, {L"Wendaro.exe_1.old", 0}}, L""},
             {"theEditionsDriver",
              L"Kilmesh.exe",
              {{L"Kilmesh.exe.old", 100}, {L"Wendaro.exe.old", 0}},
              L"Kilmesh.exe.old"},
         }) {
        SCOPED_TRACE(c.name);
        freshFolders();
        distribute(c.distributed, "new");
        const auto now = fs::file_time_type::clock::now();
        std::vector<std::wstring> expectedNames;
        for (const file_t& f : c.installedBefore) {
            install(f.name, wideToUtf8(f.name));
            fs::last_write_time(linuxPathOf(std::wstring(slicerFolder) + L"\\" + f.name),
                                now - std::chrono::seconds(f.age));
            if (f.name != c.restored)
                expectedNames.push_back(f.name);
        }
        const std::wstring driver = c.distributed == L"Kilmesh.exe" ? L"Kilmesh.exe" : L"Wendaro.exe";
        if (!c.restored.empty())
            expectedNames.push_back(driver);
        scriptedMessageBox_t boxes;
        boxes.expect({L"Do you want to ", true, L"Version 2.0", 36u, IDNO});
        CFennicotDlg dialog;
        dialog.DoModal();

        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(installedNames(), expectedNames);
        if (!c.restored.empty()) {
            EXPECT_EQ(installed(driver), wideToUtf8(c.restored));
        }
        EXPECT_TRUE(starts().empty());
    }
}

// The dialog, recording what its status line shows at each WM_APP.
class watchedDlg_t : public CFennicotDlg {
public:
    struct seen_t {
        std::wstring status;
        bool visible;
        HWND mainWindow;
    };
    std::vector<seen_t> seen;

protected:
    void onProgress() override {
        // Posts still queued when the dialog ends find nothing more to do.
        const bool ended = isEnded();
        const bool visible = isVisible();
        CFennicotDlg::onProgress();
        if (!ended)
            seen.push_back({windowText(dlgItem(this, statusControlId)), visible, mainWindow()});
    }
};

TEST_F(InstallerRunWidget, YesInstallsFollowsTheWorkerAndEnds) {
    distribute(driverFile, "new driver", 0755);
    distribute(updaterFile, "new updater", 0755);
    install(driverFile, "old driver");
    ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/4/Settings/MachineParameters.txt", "machine 4"));
    scriptedMessageBox_t boxes;
    boxes.expect(L"Do you want to update the embedded software?", 36, IDYES);

    watchedDlg_t dialog;
    const HWND window = dialog.hwnd();
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    setMainWindow(0);

    EXPECT_TRUE(dialog.isEnded());
    ASSERT_FALSE(dialog.seen.empty());
    for (const watchedDlg_t::seen_t& seen : dialog.seen) {
        EXPECT_TRUE(seen.status == L"Closing old driver..." || seen.status == L"Installing new software..." ||
                    seen.status == L"Creating Shortcuts...");
        EXPECT_TRUE(seen.visible);
        EXPECT_EQ(seen.mainWindow, window);
    }
    EXPECT_EQ(dialog.seen.back().status, L"Creating Shortcuts...");
    EXPECT_EQ(installed(driverFile), "new driver");
    EXPECT_EQ(installed(updaterFile), "new updater");
    const fs::path backups = linuxPathOf(L"C:/QVR_Printers/4/Backups");
    EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(linuxPathOf(std::wstring(startMenuFolder) + L"\\Embedded Update.lnk")));
    EXPECT_EQ(starts(),
              (std::vector<std::wstring>{closeRequestLine(driverFile), installedStartLine(driverFile),
                                         installedStartLine(updaterFile)}));
}

TEST_F(InstallerRunWidget, EnterEscapeAndCloseDoNothing) {
    CFennicotDlg dialog;
    dialog.show();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &press);
    }
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isEnded());
    dialog.EndDialog(IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
