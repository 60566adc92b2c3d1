// The installer's dialog: which question each distribution asks (answered
// No: nothing changes), the stops for a missing slicer and an empty
// distribution, a whole installation after Yes, and Enter, Escape and the
// close button doing nothing while the worker runs.
#include "installer/CFennicotDlg.h"
#include "installer/installerNames.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/messageBoxHook.h"
#include "platform/qt/dlgItem.h"
#include "tests/installer/installerFixture.h"
#include "tests/support/scriptedMessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

namespace fs = std::filesystem;
using namespace installerNames;

namespace {

using InstallerDecisionWidget = installerTest;
using InstallerRunWidget = installerTest;

// The flags of a decision, as a text that a failure shows readably.
std::string flagsOf(const installChoice_t& c)
{
    std::string text;
    text += c.updateOnly ? "updateOnly " : "";
    text += c.installTechnician ? "technician " : "";
    text += c.installController ? "controller " : "";
    text += c.installDriver ? "driver " : "";
    text += c.secondEdition ? "secondEdition " : "";
    return text;
}

struct decisionCase_t {
    std::vector<std::wstring> files;
    std::wstring box;
    unsigned style;
    std::string flags;
};

TEST_F(InstallerDecisionWidget, AsksTheQuestionOfTheFilesPresent)
{
    const std::vector<decisionCase_t> cases = {
        {{L"Dorvanel.exe", L"Tovrik.exe", L"Pevrale.exe", L"Wendaro.exe"}, L"Do you want to install Dorvanel?", 36,
         "technician controller driver "},
        {{L"Pevrale.exe", L"Tovrik.exe"}, L"Do you want to install Tovrik?", 36, "technician "},
        {{L"Merolt.exe", L"Wendaro.exe"}, L"Do you want to install Merolt?", 36, "technician driver secondEdition "},
        {{L"Pevrale.exe", L"Wendaro.exe", L"Master_Parameters.txt"}, L"Do you want to update the embedded software?",
         36, "updateOnly driver "},
        {{L"Kilmesh.exe"}, L"Do you want to update the USB driver?", 36, "driver secondEdition "},
        {{L"Wendaro.exe", L"cube.zs"}, L"Do you want to update the USB driver?", 36, "driver "},
        {{L"Tovrik.chm", L"cube.zs", L"Master_Parameters.txt", L"Ostravel.exe"}, L"Cannot find any file to install.",
         16, ""},
    };
    for (const decisionCase_t& c : cases) {
        SCOPED_TRACE(std::string(c.box.begin(), c.box.end()) + " / " + c.flags);
        freshFolders();
        for (const std::wstring& name : c.files)
            distribute(name, "new");
        scriptedMessageBox_t boxes;
        boxes.expect({c.box, false, L"Version 2.0", c.style, c.style == 36 ? IDNO : IDOK});

        CFennicotDlg dialog;
        const HWND window = dialog.hwnd();
        dialog.DoModal();

        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].owner, window);
        EXPECT_TRUE(dialog.isEnded());
        EXPECT_FALSE(dialog.installationStarted());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Version 2.0"));
        EXPECT_EQ(flagsOf(dialog.choice()), c.flags);
        EXPECT_EQ(dialog.choice().shortcutFolder, L"Corvanta");
        EXPECT_TRUE(installedNames().empty());
        EXPECT_TRUE(starts().empty());
    }
}

struct missingSlicerCase_t {
    const char* name;
    bool shortcutFolderSet;
    std::wstring directory;  // empty: no value
    std::vector<std::wstring> files;
    std::wstring box;
};

TEST_F(InstallerDecisionWidget, StopsWhenTheSlicerIsNotInstalled)
{
    const std::vector<missingSlicerCase_t> cases = {
        {"no shortcut folder", false, slicerFolder, {L"Tovrik.exe"}, L"Ondrel 2.0 must be installed first."},
        {"no installation folder", true, L"", {L"Tovrik.exe"}, L"Ondrel 2.0 must be installed first."},
        {"installation folder missing", true, L"C:\\Program Files\\Nowhere", {L"Tovrik.exe"},
         L"Ondrel 2.0 must be installed first."},
        {"second edition", false, slicerFolder, {L"Kilmesh.exe"}, L"Yorvel 2.0 must be installed first."},
    };
    for (const missingSlicerCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        freshFolders();
        for (const std::wstring& name : c.files)
            distribute(name, "new");
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

        EXPECT_EQ(boxes.remaining(), 0u);
        EXPECT_TRUE(dialog.isEnded());
        EXPECT_FALSE(dialog.installationStarted());
        EXPECT_TRUE(installedNames().empty());
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
    void onProgress() override
    {
        // Posts still queued when the dialog ends find nothing more to do.
        const bool ended = isEnded();
        const bool visible = isVisible();
        CFennicotDlg::onProgress();
        if (!ended)
            seen.push_back({windowText(dlgItem(this, statusControlId)), visible, mainWindow()});
    }
};

TEST_F(InstallerRunWidget, YesInstallsFollowsTheWorkerAndEnds)
{
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
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(linuxPathOf(L"C:/QVR_Printers/4/Backups")))
        backups.push_back(entry.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].extension(), ".txt");
    EXPECT_EQ(readRawFile(L"C:/QVR_Printers/4/Backups/" + backups[0].filename().wstring()), "machine 4");
    EXPECT_TRUE(fs::exists(linuxPathOf(std::wstring(startMenuFolder) + L"\\Embedded Update.lnk")));
    EXPECT_EQ(starts(), (std::vector<std::wstring>{closeRequestLine(driverFile), installedStartLine(driverFile),
                                                   installedStartLine(updaterFile)}));
}

TEST_F(InstallerRunWidget, EnterEscapeAndCloseDoNothingWhileInstalling)
{
    distribute(updaterFile, "new updater", 0755);
    // The installed updater cannot be replaced: the worker waits in the
    // "Cannot copy" question until the test lets it go.
    fs::create_directories(linuxPathOf(std::wstring(slicerFolder) + L"\\Pevrale.exe"));
    std::mutex lock;
    std::condition_variable changed;
    bool asked = false;
    bool release = false;
    setMessageBoxHook([&](HWND, const std::wstring& text, const std::wstring&, unsigned) {
        if (text.rfind(L"Cannot copy", 0) != 0)
            return IDYES;
        std::unique_lock<std::mutex> guard(lock);
        asked = true;
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return release; });
        return IDCANCEL;
    });

    CFennicotDlg dialog;
    bool stayedOpen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!asked || release)
                return;
        }
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &press);
        }
        dialog.close();
        stayedOpen = dialog.isVisible() && !dialog.isEnded();
        std::lock_guard<std::mutex> guard(lock);
        release = true;
        changed.notify_all();
    });
    poll.start(5);
    dialog.DoModal();
    poll.stop();
    setMessageBoxHook({});
    setMainWindow(0);

    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(release);
    EXPECT_TRUE(dialog.isEnded());
    EXPECT_EQ(windowText(dlgItem(&dialog, CFennicotDlg::statusControlId)), L"Installing new software...");
    // Cancel: the shortcuts and the driver's start, not the updater's.
    EXPECT_EQ(starts(), std::vector<std::wstring>{installedStartLine(driverFile)});
}

}  // namespace
