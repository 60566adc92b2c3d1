// The start-up as the program runs it: the sockets check, the application's
// name and main window, the modal main dialog and the tear-down after it.
#include "link/currentClientDevice.h"
#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "platform/messageBoxHook.h"
#include "platform/process.h"
#include "technician/mainDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

namespace {

class StartupWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& commandLine) {
            starts.push_back(commandLine);
            return true;
        });
        // Nothing listens there: the dialog connects to no real server.
        mainDlg_t::setDefaultServer(L"localhost", 1);
    }
    void TearDown() override
    {
        tovrikApp().setSocketsCheck({});
        mainDlg_t::setDefaultServer(L"", mainDlg_t::serverPort);
        mainDlg_t::setDeviceFactory({});
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    std::vector<std::wstring> starts;
};

TEST_F(StartupWidget, SocketsFailureShowsMessage103AndEnds)
{
    tovrikApp().setSocketsCheck([] { return false; });
    scriptedMessageBox_t boxes;
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    boxes.expect({L"Windows sockets initialization failed.", false, getFileTitle(program), MB_OK, IDOK});
    EXPECT_FALSE(tovrikApp().initInstance());
    EXPECT_EQ(boxes.remaining(), 0u);
    EXPECT_EQ(applicationName(), getFileTitle(program));
    EXPECT_EQ(tovrikApp().mainDialog(), nullptr);
    EXPECT_TRUE(starts.empty());
}

TEST_F(StartupWidget, RunsTheMainDialogModallyAndTearsItDown)
{
    mainDlg_t::setDeviceFactory(
        [](sharedLock_t& lock) -> qvrClientDev_t* { return new testClientDev_t(HWND(0), lock); });
    bool ran = false;
    QTimer::singleShot(0, [&] {
        mainDlg_t* dialog = tovrikApp().mainDialog();
        ASSERT_NE(dialog, nullptr);
        ran = true;
        EXPECT_EQ(mainWindow(), dialog->hwnd());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->isModal());
        EXPECT_NE(getCurrentClientDevice(), nullptr);
        EXPECT_EQ(dialog->windowTitle(), QString::fromStdWString(tovrikApp().edition()));
        dialog->onCancel();
    });
    EXPECT_FALSE(tovrikApp().initInstance());
    EXPECT_TRUE(ran);
    EXPECT_EQ(tovrikApp().mainDialog(), nullptr);
    EXPECT_EQ(mainWindow(), HWND(0));
    EXPECT_EQ(getCurrentClientDevice(), nullptr);
    EXPECT_EQ(starts, (std::vector<std::wstring>{buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L"")}));
}

}  // namespace
