// The "Clean && Calibrate" page of the Operations page (dialog 191): starts
// the cleaning and calibration procedures, the feeder-encoder calibration,
// the machine and glue-system initialisation, and the DZ Sensor-To-Iron
// calibrator, whose group of buttons is enabled by its own button and which
// shows the layer it computed, the thickness of the last layers and DZ.
#pragma once
#include "technician/pages/clientDzMachine.h"
#include "technician/pages/dzCalibrator.h"

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class calibrateDlgTemplate;
}

namespace calibrateDlgId {
inline constexpr int initializeMachine = 1015;
inline constexpr int calibratePens = 1016;
inline constexpr int longCleanBubbles = 1017;
inline constexpr int fastCleanBubbles = 1129;
inline constexpr int cleanBubbles = 1018;
inline constexpr int calibrateTrim = 1019;
inline constexpr int calibrateZabsZero = 1024;
inline constexpr int calibrateDz = 1020;
inline constexpr int startCalibration = 1021;
inline constexpr int stopCalibration = 1022;
inline constexpr int calibrateFeederEncoders = 1023;
inline constexpr int initGlueSystem = 1025;
inline constexpr int activationGroup = 1061;
inline constexpr int dzGroup = 1103;
inline constexpr int currentLayer = 1081;
inline constexpr int dzValue = 1095;
inline constexpr int lastThickness = 1096;
}  // namespace calibrateDlgId

class calibrateDlg_t : public QDialog {
    Q_OBJECT
public:
    // The feeder-encoder calibration needs this embedded version or above.
    static constexpr int feederEncoderVersion = 1120;
    static constexpr const wchar_t* feederEncoderVersionText = L"This feature requires embedded version E1.1 or above.";
    static constexpr std::uint8_t initGlueSystemCommand = 165;

    explicit calibrateDlg_t(QWidget* parent = nullptr);
    ~calibrateDlg_t() override;

    // Bold headings and values, the calibration group disabled, DZ shown.
    bool onInitDialog();
    // --- what the Operations page and the main window call ----------------------
    void onStatus();    // status received
    void onNewLayer();  // a layer record arrived
    // The main window's refresh: DZ as the device has it now.
    void showDz();

    // --- handlers -------------------------------------------------------------------
    void onInitializeMachine();
    void onCalibratePens();
    void onCleanBubbles(int form);  // the three cleaning buttons, by control id
    void onCalibrateTrim();
    void onCalibrateZabsZero();
    void onCalibrateDz();
    void onStartCalibration();
    void onStopCalibration();
    void onCalibrateFeederEncoders();
    void onInitGlueSystem();

    dzCalibrator_t& calibrator() { return calibrator_; }
    std::wstring controlText(int id) const;

    // Enter and Esc leave the page alone.
    void accept() override {}
    void reject() override {}

private:
    void setGroup(bool enabled);

    clientDzMachine_t machine_;
    dzCalibrator_t calibrator_{machine_};
    std::vector<int> group_;
    std::unique_ptr<Ui::calibrateDlgTemplate> ui_;
    bool initialised_ = false;
};
