// The DZ Sensor-To-Iron calibration from the Clean && Calibrate page against
// the machines server stand-in in process: the device's notifications are
// handed to the page as the Operations page hands them (status: onStatus,
// with the layer-record requests of the main window; layer record:
// onNewLayer). The simulated printer's layers answer DZ, so the run settles
// from the factory value and cancels its block; a printer that ends the
// block by itself ends the run with "Model building was aborted.".
#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "machine/sharedLock.h"
#include "platform/qt/dlgItem.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/calibrateDlg.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"

#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr std::uint32_t machineId = 4;
constexpr int dzWord = 115;

class DzCalibrationServerSlow : public prefixTest {
protected:
    void serve(simPrinterConfig_t printer)
    {
        wendaroConfig_t config;
        config.port = 0;
        printer.machineID = machineId;
        printer.writeLogs = false;
        printer.actionMs = 0;
        printer.layerMs = 300;
        printer.layerTroublePerMille = 0;
        config.machines.push_back(wendaroMachineConfig_t{printer, L"Calibration printer", L""});
        server_ = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server_->start());
        device_ = std::make_unique<qvrClientDev_t>(window_.handle(), lock_);
        setCurrentClientDevice(device_.get());
        ASSERT_TRUE(device_->connect(L"localhost", machineId, true, server_->port()));
        page_ = std::make_unique<calibrateDlg_t>();
        page_->onInitDialog();
        // The machine's ID is known once its first status is in: the block
        // is written into that machine's folder.
        ASSERT_TRUE(pumpUntil([this] { return device_->getMachineID() == machineId; }));
    }

    void TearDown() override
    {
        page_.reset();
        if (device_)
            device_->stop();
        setCurrentClientDevice(nullptr);
        device_.reset();
        if (server_)
            server_->stop();
    }

    // Hands the device's notifications to the page until the condition holds.
    template <class condition_t>
    bool pumpUntil(condition_t condition, std::chrono::milliseconds deadline = std::chrono::minutes(3))
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            window_.waitFor([](const std::vector<postedMessage_t>& queue) { return !queue.empty(); },
                            std::chrono::milliseconds(200));
            for (const postedMessage_t& message : window_.takeAll()) {
                if (message.message != basicComm_t::notifyMessageNumber)
                    continue;
                if ((message.wParam & 0xFFFF) == 111) {
                    device_->requestLayerRecords(10);
                    page_->onStatus();
                } else if ((message.wParam & 0xFFFF) == 124) {
                    page_->onNewLayer();
                }
            }
        }
        return true;
    }

    void click(int id) { dlgItemAs<QPushButton>(page_.get(), id)->click(); }

    queueWindow_t window_;
    sharedLock_t lock_;
    std::unique_ptr<wendaroServer_t> server_;
    std::unique_ptr<qvrClientDev_t> device_;
    std::unique_ptr<calibrateDlg_t> page_;
};

}  // namespace

TEST_F(DzCalibrationServerSlow, SettlesFromTheFactoryValueAndCancelsTheBlock)
{
    serve(simPrinterConfig_t());
    simPrinter_t& printer = server_->printer(machineId);
    scriptedMessageBox_t boxes;
    boxes.expectContaining(L"Calibration is completed successfully.\nNew DZ Sensor-To-Iron value is: -",
                           MB_OK | MB_ICONINFORMATION, IDOK);
    click(calibrateDlgId::calibrateDz);
    click(calibrateDlgId::startCalibration);
    ASSERT_TRUE(page_->calibrator().isRunning());

    // The layers show on the page while the run goes on.
    ASSERT_TRUE(pumpUntil([this] { return !page_->controlText(calibrateDlgId::currentLayer).empty(); }));
    EXPECT_NE(page_->controlText(calibrateDlgId::lastThickness).find(L'.'), std::wstring::npos);

    ASSERT_TRUE(pumpUntil([this] { return !page_->calibrator().isRunning(); }));
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_FALSE(dlgItem(page_.get(), calibrateDlgId::startCalibration)->isEnabled());
    // The printer has the calibrated value, near where its layers come out right.
    const std::int32_t dz = device_->getParamValue(*findParameter(dzWord, L"DZ Sensor-To-Iron"));
    EXPECT_TRUE(pumpUntil([&] { return printer.memoryWord(dzWord) == dz; }));
    EXPECT_NEAR(dz, printer.config().bestDz, 60000);
    EXPECT_GE(dz, -2800000);
    EXPECT_LE(dz, -1500000);
    // The block was cancelled, not built to its end.
    EXPECT_TRUE(pumpUntil([&] { return (printer.status().flags() & dzCalibrator_t::modelEndedFlag) != 0; }));
    EXPECT_LT(printer.layerRecordCount(), dzCalibrator_t::blockLayers);
}

TEST_F(DzCalibrationServerSlow, APrinterThatEndsTheBlockEndsTheRun)
{
    simPrinterConfig_t printer;
    printer.abortBuildAfterLayers = 8;
    serve(printer);
    scriptedMessageBox_t boxes;
    boxes.expect(L"Model building was aborted.", MB_OK | MB_ICONSTOP, IDOK);
    click(calibrateDlgId::calibrateDz);
    click(calibrateDlgId::startCalibration);
    ASSERT_TRUE(pumpUntil([this] { return !page_->calibrator().isRunning(); }));
    EXPECT_EQ(boxes.shown().size(), 1u);
}
