// The DZ Sensor-To-Iron calibration from the Clean && Calibrate page of the
// main window, against the machines server stand-in in process: the main
// window hands the device's notifications to the page through the
// Operations page. The simulated printer's layers answer DZ, so the run
// settles from the factory value and cancels its block; a printer that ends
// the block by itself ends the run with "Model building was aborted.".
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "platform/process.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/processEventsUntil.h"
#include "standins/wendaro/wendaroServer.h"
#include "technician/mainDlg.h"
#include "technician/pages/calibrateDlg.h"
#include "technician/pages/operationsDlg.h"
#include "technician/tovrikApp.h"
#include "tests/support/scriptedMessageBox.h"
#include "tests/support/tempPrefix.h"

#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t machineId = 4;
constexpr int dzWord = 115;
constexpr int deadlineMs = 180000;

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
        setLauncherHook([](const std::wstring&) { return true; });
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\" 4");
        main_ = std::make_unique<mainDlg_t>(false);
        main_->setServer(L"localhost", server_->port());
        tovrikApp().setMainDialog(main_.get());
        main_->onInitDialog();
        page_ = main_->operationsPage()->calibratePage();
        ASSERT_NE(page_, nullptr);
        // The block is written into the machine's folder, known with its first
        // status; the calibration starts only on a link that is up.
        ASSERT_TRUE(processEventsUntil(
            [this] { return main_->device()->getMachineID() == machineId && main_->device()->isConnected(); },
            deadlineMs));
    }

    void TearDown() override
    {
        main_.reset();
        if (server_)
            server_->stop();
        setLauncherHook({});
        tovrikApp().readCommandLine(L"\"C:\\Tovrik.exe\"");
    }

    void click(int id) { dlgItemAs<QPushButton>(page_, id)->click(); }

    std::unique_ptr<wendaroServer_t> server_;
    std::unique_ptr<mainDlg_t> main_;
    calibrateDlg_t* page_ = nullptr;
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
    ASSERT_TRUE(processEventsUntil([this] { return !page_->controlText(calibrateDlgId::currentLayer).empty(); },
                                   deadlineMs));
    // The layer computed last, and its thickness in microns.
    EXPECT_EQ(page_->controlText(calibrateDlgId::currentLayer), std::to_wstring(page_->calibrator().layer()));
    EXPECT_EQ(page_->controlText(calibrateDlgId::lastThickness),
              QString::number(page_->calibrator().thickness() * 0.001, 'f', 3).toStdWString());
    EXPECT_GE(page_->calibrator().layer(), dzCalibrator_t::firstComputedLayer);

    ASSERT_TRUE(processEventsUntil([this] { return !page_->calibrator().isRunning(); }, deadlineMs));
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_FALSE(dlgItem(page_, calibrateDlgId::startCalibration)->isEnabled());
    // The printer has the calibrated value, near where its layers come out right.
    const std::int32_t dz = main_->device()->getParamValue(*findParameter(dzWord, L"DZ Sensor-To-Iron"));
    EXPECT_TRUE(processEventsUntil([&] { return printer.memoryWord(dzWord) == dz; }));
    EXPECT_NEAR(dz, printer.config().bestDz, 60000);
    EXPECT_EQ(page_->controlText(calibrateDlgId::dzValue), QString::number(dz * 0.000001, 'f', 3).toStdWString());
    EXPECT_GE(dz, -2800000);
    EXPECT_LE(dz, -1500000);
    // The block: 500 layers of an 80 mm block, whose model is 60 mm shorter
    // (the feed beyond it and the model's offset), told [0 0 0 0][0][1] first.
    EXPECT_EQ(printer.modelInfo().values[0], 500);
    EXPECT_EQ(printer.modelInfo().values[2], 20000000);
    const std::vector<std::uint8_t> blockMode = {157, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(printer.trace().count([&](const simTraceEntry_t& e) {
        return e.kind == simTraceEntry_t::kind_e::commandIn_e && e.bytes == blockMode;
    }),
              1u);
    // It was cancelled once, not built to its end: "CANCELBUILD" for the
    // model being built (queue index -1), without a password.
    std::vector<std::uint8_t> cancel = {0xFF, 0xFE, 0xFF, 11};
    for (const char c : std::string("CANCELBUILD"))
        cancel.insert(cancel.end(), {static_cast<std::uint8_t>(c), 0});
    cancel.insert(cancel.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    // The calibrator queues it; the device's thread sends it after the run
    // has ended.
    const auto cancels = [&] {
        return server_->trace().count([&](const wendaroTraceEntry_t& e) {
            return e.kind == wendaroTraceEntry_t::kind_e::in_e && e.bytes == cancel;
        });
    };
    EXPECT_TRUE(processEventsUntil([&] { return (printer.status().flags() & dzCalibrator_t::modelEndedFlag) != 0; }));
    EXPECT_EQ(cancels(), 1u);
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
    ASSERT_TRUE(processEventsUntil([this] { return !page_->calibrator().isRunning(); }, deadlineMs));
    EXPECT_EQ(boxes.shown().size(), 1u);
}
