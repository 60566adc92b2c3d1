// The main dialog against the machines server stand-in, in process on an
// ephemeral port: the link, the title, the indicator and the temperature
// come from a simulated printer, the close sequence's command 19 reaches it
// and its status reply ends the window, and the server's machine list
// starts the further instances.
#include "link/qvrClientDev.h"
#include "machine/globalNames.h"
#include "machine/programUtils.h"
#include "platform/process.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/mainDlg.h"
#include "technician/resourceImages.h"
#include "technician/tovrikApp.h"
#include "technician/transparentBitmap.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/uiWait.h"

#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr int machineFlagsWord = 120;

class MainDlgServerWidget : public prefixTest {
protected:
    void SetUp() override
    {
        setLauncherHook([this](const std::wstring& commandLine) {
            std::lock_guard<std::mutex> guard(startsLock_);
            starts_.push_back(commandLine);
            return true;
        });
    }

    void TearDown() override
    {
        dialog_.reset();
        if (server_)
            server_->stop();
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    // A server with the machines (ID, name) on an ephemeral port.
    wendaroServer_t& serve(const std::vector<std::pair<std::uint32_t, std::wstring>>& machines)
    {
        wendaroConfig_t config;
        config.port = 0;
        for (const auto& [id, name] : machines) {
            wendaroMachineConfig_t machine;
            machine.printer.machineID = id;
            machine.printer.writeLogs = false;
            machine.name = name;
            config.machines.push_back(machine);
        }
        server_ = std::make_unique<wendaroServer_t>(config);
        std::wstring error;
        EXPECT_TRUE(server_->start(&error)) << std::string(error.begin(), error.end());
        return *server_;
    }

    mainDlg_t& open(const wchar_t* commandLine, bool iFlag)
    {
        tovrikApp().readCommandLine(commandLine);
        dialog_ = std::make_unique<mainDlg_t>(iFlag);
        dialog_->setServer(L"localhost", server_->port());
        tovrikApp().setMainDialog(dialog_.get());
        dialog_->onInitDialog();
        return *dialog_;
    }

    std::wstring title() const { return dialog_->windowTitle().toStdWString(); }

    std::vector<std::wstring> starts()
    {
        std::lock_guard<std::mutex> guard(startsLock_);
        return starts_;
    }

    std::unique_ptr<wendaroServer_t> server_;
    std::unique_ptr<mainDlg_t> dialog_;
    std::mutex startsLock_;
    std::vector<std::wstring> starts_;
};

TEST_F(MainDlgServerWidget, ShowsTheSimulatedPrinter)
{
    serve({{3, L"Printer 3"}}).printer(3).setTemperature(37);
    open(L"\"C:\\Tovrik.exe\" 3", false);

    ASSERT_TRUE(processEventsUntil([this] { return title() == L"Printer 3 - Tovrik"; })) << title().size();
    ASSERT_TRUE(processEventsUntil([this] { return dialog_->temperatureText() == L"37\u00b0"; }));
    EXPECT_EQ(dialog_->controls().temperature->text(), QStringLiteral("37\u00b0"));

    // Every status swaps the indicator's bitmap.
    const QImage lit = loadBitmapResource(133).toImage();
    const QImage dark = loadBitmapResource(134).toImage();
    bool sawLit = false;
    bool sawDark = false;
    ASSERT_TRUE(processEventsUntil([&] {
        const QImage shown = dialog_->controls().indicator->bitmap().toImage();
        sawLit = sawLit || shown == lit;
        sawDark = sawDark || (sawLit && shown == dark);
        return sawLit && sawDark;
    }));

    server_->printer(3).setTemperature(255);
    EXPECT_TRUE(processEventsUntil([this] { return dialog_->temperatureText() == L"N/A"; }));
    // Started on its machine number: no further instances, only the driver.
    EXPECT_EQ(starts().size(), 1u);
}

TEST_F(MainDlgServerWidget, OpenDoorCloseSends19OnceAndEndsOnTheStatusReply)
{
    serve({{5, L"Lab printer"}});
    open(L"\"C:\\Tovrik.exe\" 5", false);
    ASSERT_TRUE(processEventsUntil([this] { return title() == L"Lab printer - Tovrik"; }));
    const std::int32_t flags = server_->printer(5).memoryWord(machineFlagsWord);
    dialog_->device()->setParameterWord(machineFlagsWord, flags | 0x5);
    const std::uint64_t mark = server_->trace().mark();

    dialog_->onCancel();
    dialog_->onCancel();
    EXPECT_TRUE(dialog_->isClosing());
    ASSERT_TRUE(processEventsUntil([this] { return dialog_->hasEnded(); }));
    const auto isCommand19 = [](const wendaroTraceEntry_t& entry) {
        return entry.kind == wendaroTraceEntry_t::kind_e::in_e && entry.command == 19;
    };
    EXPECT_EQ(server_->trace().count(isCommand19, mark), 1u);
    // The printer got the flags without the Open Door bits.
    EXPECT_TRUE(processEventsUntil(
        [&] { return server_->printer(5).memoryWord(machineFlagsWord) == (flags & ~0x5); }));
}

TEST_F(MainDlgServerWidget, ThreeMachinesStartTwoMoreInstances)
{
    serve({{3, L"A"}, {12, L"B"}, {14, L"C"}});
    open(L"\"C:\\Tovrik.exe\" /I", true);
    std::wstring program;
    splitCommandLine(processCommandLine(), &program);
    const std::vector<std::wstring> expected = {buildCommandLine(getSlicerFolder() + L"/Wendaro.EXE", L""),
                                                buildCommandLine(program, L"/I 12"),
                                                buildCommandLine(program, L"/I 14")};
    ASSERT_TRUE(processEventsUntil([this] { return starts().size() >= 3; }));
    // This instance stays on the first machine; a later greeting starts nothing.
    ASSERT_TRUE(processEventsUntil([this] { return title() == L"A - Tovrik"; }));
    const std::uint32_t first = server_->connections().at(0).id;
    server_->dropConnection(first);
    ASSERT_TRUE(processEventsUntil([&] {
        for (const auto& connection : server_->connections())
            if (connection.id != first && connection.machine == 3)
                return true;
        return false;
    }));
    // Two statuses on the new connection: its greeting has been handled.
    int flips = 0;
    int shown = dialog_->blinkIndex();
    ASSERT_TRUE(processEventsUntil([&] {
        if (dialog_->blinkIndex() != shown) {
            shown = dialog_->blinkIndex();
            ++flips;
        }
        return flips >= 2;
    }));
    EXPECT_EQ(starts(), expected);
}

}  // namespace
