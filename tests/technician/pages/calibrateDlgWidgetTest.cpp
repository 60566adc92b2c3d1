// The Clean && Calibrate page over the main dialog's recording device (its
// server port is closed): the gate in front of each procedure and of "Init
// Glue System", the procedure each button runs, the version gate of the
// feeder-encoder calibration, the machine initialisation through the
// Software && Parameters page, and the calibration group's enabling.
#include "link/currentClientDevice.h"
#include "platform/qt/dlgItem.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "technician/mainDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/pages/calibrateFeederEncoders.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/closedPort.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"
#include "tests/technician/technicianTestDevices.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

const std::wstring buildingText = L"This machine is building a model. Pause machine first.";

class CalibrateDlgWidget : public prefixTest {
protected:
    void SetUp() override
    {
        mainDlg_t::setDeviceFactory(
            [](sharedLock_t& lock) -> qvrClientDev_t* { return new testClientDev_t(HWND(0), lock); });
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
        main_ = std::make_unique<mainDlg_t>(false);
        main_->setServer(L"", closedPort());
        tovrikApp().setMainDialog(main_.get());
        main_->onInitDialog();
        page_ = main_->operationsPage()->calibratePage();
    }

    void TearDown() override
    {
        main_.reset();
        mainDlg_t::setDeviceFactory({});
    }

    testClientDev_t& device() { return *static_cast<testClientDev_t*>(main_->device()); }
    void click(int id) { dlgItemAs<QPushButton>(page_, id)->click(); }

    // Clicks a button that opens a modal window; the window's title, and
    // whether it was a procedure's progress window, before it is closed.
    std::pair<std::wstring, bool> clickModal(int id)
    {
        std::pair<std::wstring, bool> seen;
        // Polls from inside the window's own loop; gone with this call when
        // no window opened.
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&seen, &poll] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (modal == nullptr)
                return;
            poll.stop();
            seen = {windowText(modal), qobject_cast<staticBatchDlg_t*>(modal) != nullptr};
            modal->reject();
        });
        poll.start();
        click(id);
        return seen;
    }

    std::unique_ptr<mainDlg_t> main_;
    calibrateDlg_t* page_ = nullptr;
};

}  // namespace

TEST_F(CalibrateDlgWidget, ProceduresPassTheGateAndRunModally)
{
    // The Operations page's first inner page.
    EXPECT_EQ(main_->operationsPage()->page(0), page_);
    EXPECT_EQ(dialogId(page_), 191);
    device().clearSent();
    struct case_t {
        int id;
        const wchar_t* caption;
        const wchar_t* procedure;
    };
    const case_t cases[] = {
        {1016, L"Calibrate Pens Position...", L"Calibrate Tools Batch"},
        {1017, L"Long Clean Bubbles...", L"Long Clean Bubbles"},
        {1129, L"Fast Clean Bubbles...", L"Fast Clean Bubbles"},
        {1018, L"Clean Bubbles...", L"Clean Bubbles"},
        {1019, L"Calibrate Trim Position...", L"Calibrate Trim"},
        {1024, L"Calibrate Z Absolute Zero...", L"Calibrate Z Abs Zero"},
    };
    // Building: the gate's warning, and nothing is built or sent.
    device().setMachineState(1);
    {
        scriptedMessageBox_t boxes;
        boxes.expect(buildingText, MB_OK | MB_ICONEXCLAMATION, IDOK);
        EXPECT_EQ(clickModal(1016).first, L"");
    }
    EXPECT_TRUE(device().codes().empty());
    // Ready: the gate's 4 and status request, then the progress window asks
    // for the procedure state; the procedure is the current one until its
    // window is gone.
    device().setMachineState(7);
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(page_->controlText(c.id), c.caption);
        device().clearSent();
        const auto [title, isProgress] = clickModal(c.id);
        EXPECT_EQ(title, c.procedure);
        EXPECT_TRUE(isProgress);
        EXPECT_EQ(device().codes(), (std::vector<int>{4, 1, 4, 146, 1}));
        EXPECT_EQ(baseStaticBatch_t::current(), nullptr);
    }
}

TEST_F(CalibrateDlgWidget, CommandButtonsAndTheFeederEncoderVersionGate)
{
    // "Init Glue System": command 165 without payload through the gate, then
    // the status requests.
    device().setMachineState(2);
    device().clearSent();
    click(1025);
    EXPECT_EQ(device().codes(), (std::vector<int>{165, 1, 12}));
    EXPECT_EQ(device().bytesSince(0).front(), std::vector<std::uint8_t>{165});
    // "Initialize Machine...": the Software && Parameters page's command 138.
    device().clearSent();
    click(1015);
    EXPECT_EQ(device().codes(), (std::vector<int>{138, 1, 12}));

    struct case_t {
        std::uint16_t version;
        bool opens;
    };
    for (const case_t c : {case_t{0, false}, case_t{1119, false}, case_t{1120, true}}) {
        SCOPED_TRACE(c.version);
        device().setEmbeddedVersion(c.version);
        scriptedMessageBox_t boxes;
        if (!c.opens)
            boxes.expect(calibrateDlg_t::feederEncoderVersionText, MB_OK | MB_ICONSTOP, IDOK);
        EXPECT_EQ(clickModal(1023).first, c.opens ? L"Calibrate Feeder Encoders" : L"");
    }
}

TEST_F(CalibrateDlgWidget, TheCalibrationGroupFollowsItsButtons)
{
    // DZ shows the device's value; the group starts disabled.
    EXPECT_EQ(page_->controlText(1095), L"-1.200");
    EXPECT_FALSE(dlgItem(page_, 1021)->isEnabled());
    EXPECT_FALSE(dlgItem(page_, 1022)->isEnabled());
    click(1020);
    EXPECT_TRUE(dlgItem(page_, 1021)->isEnabled());
    EXPECT_TRUE(dlgItem(page_, 1022)->isEnabled());
    // Stop with no run finishes at once and disables the group again.
    click(1022);
    EXPECT_FALSE(dlgItem(page_, 1021)->isEnabled());
}
