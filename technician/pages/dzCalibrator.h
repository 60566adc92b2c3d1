// The closed loop that calibrates "DZ Sensor-To-Iron": it builds a generated
// 500-layer block and, layer by layer, compares the average thickness of the
// last layers with the model's layer thickness and moves DZ by a step from
// the correction table, until the thickness has held for 25 layers. It gives
// up when DZ would leave its limits, when the thickness follows DZ the wrong
// way (the machine diverges), or when the build was aborted.
//
// Plain code: everything it reads from and does to the machine goes through
// machine_t, so that a test can feed it layer heights and status flags. The
// messages are the library's message boxes.
#pragma once
#include <array>
#include <cstdint>

class dzCalibrator_t {
public:
    // The machine as the calibrator sees it.
    class machine_t {
    public:
        virtual ~machine_t() = default;
        virtual std::uint32_t statusFlags() = 0;
        // Index of the last layer record received (-1: none).
        virtual std::int32_t lastLayerIndex() = 0;
        // Stack height after that layer (the layer record's height field).
        virtual std::int32_t layerHeight(std::int32_t index) = 0;
        // The layer thickness of the model being built.
        virtual std::int32_t modelLayerThickness() = 0;
        virtual std::int32_t dz() = 0;
        virtual std::int32_t factoryDz() = 0;
        // Stores and sends DZ (not marked opened) and refreshes the pages.
        virtual void setDz(std::int32_t value) = 0;
        // Hands the generated calibration block to the machine; false when
        // it could not be written, and then nothing was handed over.
        virtual bool buildBlock() = 0;
        // Cancels the build (queue index -1, no password).
        virtual void cancelBuild() = 0;
        // The link that is up now becomes the calibration's.
        virtual void takeLink() = 0;
        // The calibration's link is still up: not lost since takeLink, even
        // when a new one is up (machine/runLink.h).
        virtual bool linkHolds() = 0;
    };

    struct historyEntry_t {
        std::int32_t dz = 0;
        std::int32_t thickness = 0;
    };

    static constexpr std::uint32_t buildingFlag = 0x200;   // status flags bit 9
    static constexpr std::uint32_t modelEndedFlag = 0x4000;  // bit 14
    static constexpr std::int32_t lowestDz = -2800000;   // nm, inclusive
    static constexpr std::int32_t highestDz = -1500000;  // nm, inclusive
    static constexpr int quietLayers = 25;
    static constexpr int averagedLayers = 25;
    static constexpr int firstComputedLayer = 4;
    static constexpr int divergenceFromLayer = 30;
    static constexpr std::int32_t divergenceDz = 150000;
    static constexpr std::int32_t suggestionOffset = 200000;
    // One entry per layer index of a build the client device can hold;
    // layers beyond are ignored.
    static constexpr int historySize = 2000;
    static constexpr std::int32_t blockLayers = 500;
    static constexpr std::int32_t blockLengthMm = 80;

    static constexpr const wchar_t* alreadyBuildingText =
        L"Machine is already building a model. Please cancel the previous model first.";
    static constexpr const wchar_t* abortedText = L"Model building was aborted.";
    static constexpr const wchar_t* limitsText =
        L"Value of parameter DZ Sensor-To-Iron got out of allowed limits. Aborting.";
    static constexpr const wchar_t* completedText = L"Calibration is completed successfully.";
    static constexpr const wchar_t* newValueText = L"New DZ Sensor-To-Iron value is: ";
    static constexpr const wchar_t* divergedText =
        L"DZ Iron calibration failed. Please remove the model and restart the calibration.";
    static constexpr const wchar_t* stopQuestion = L"Calibration is not complete. Are you sure you want to stop?";
    static constexpr const wchar_t* notConnectedText = L"Cannot start while machine is not connected.";

    explicit dzCalibrator_t(machine_t& machine) : machine_(machine) {}

    // Takes the link that is up; without one it says so and starts nothing.
    void start();
    // A layer record arrived: true when a layer was computed.
    bool onLayer();
    // Asks before it stops a run that has not finished; clears the run.
    void stop();
    // A status arrived: a model ended under a running calibration.
    void checkAborted();

    // The step for a thickness error (nm): the first row of the correction
    // table whose threshold |error| exceeds, with the error's sign; 0 none.
    static std::int32_t stepFor(std::int64_t error);

    bool isRunning() const { return running_; }
    bool isFinished() const { return finished_; }
    bool hasEnded() const { return ended_; }
    std::int32_t layer() const { return layer_; }
    std::int32_t thickness() const { return thickness_; }
    std::int32_t lastCorrectionLayer() const { return lastCorrectionLayer_; }
    std::int32_t startValue() const { return startValue_; }
    historyEntry_t history(int index) const
    {
        return index >= 0 && index < historySize ? history_[static_cast<std::size_t>(index)] : historyEntry_t();
    }

private:
    std::int32_t averageThickness(std::int32_t layer);
    void finishWithError(const wchar_t* text);
    // Every store of DZ passes here: only on the link the calibration
    // started on, so that a thickness measured before a lost link never
    // moves DZ on another one. False (nothing stored) otherwise.
    bool storeDz(std::int32_t value);

    machine_t& machine_;
    std::int32_t lastCorrectionLayer_ = 0;
    bool running_ = false;
    bool finished_ = false;
    bool ended_ = false;
    std::int32_t layer_ = 0;
    std::int32_t thickness_ = 0;
    std::int32_t startValue_ = 0;
    std::array<historyEntry_t, historySize> history_{};
};
