// simPrinterConfig_t: how one simulated printer is set up. Times are in
// milliseconds of the printer's own clock (see simPrinter_t::advance).
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct simPrinterConfig_t {
    // The machine number: status offset 0 and word 0 of the memory. Never 0
    // for a served machine: the client waits for a known ID.
    std::uint32_t machineID = 1;
    // Machine information offset 4 (1000 selects door sensor bit 19) and 6.
    // The embedded version also chooses the memory layout (compact glue
    // table and factory block from 1120 on).
    std::uint16_t hardwareRevision = 1100;
    std::uint16_t embeddedVersion = 1120;
    // The data root of the machine folder tree; empty: the system's own
    // (the "BaseDirectory" setting).
    std::wstring dataRoot;
    // Daily, brief and model logs under the machine folder.
    bool writeLogs = true;

    // Every action (moves, homes, tools, layer processes); capped at
    // 55000 ms so that an awaited action never reaches the client's
    // 60000 ms limit. 0 makes actions instant.
    std::uint32_t actionMs = 200;
    // The XY home search (159) and the height measurement (139) creep to
    // their sensors: each lasts this many actions. Longer than three status
    // polls of the client (350 ms each, command 12 with every third), so the
    // machine information a poll fetches meanwhile, with the result, arrives
    // before the status request that follows the search is answered.
    std::uint32_t sensingActions = 10;
    // One layer of a build (feed, delay, iron, draw, trim in equal parts).
    std::uint32_t layerMs = 1000;
    // "Loading..." before a queued model starts building.
    std::uint32_t loadingMs = 0;
    // State 3 after command 138 or a power cycle.
    std::uint32_t initMs = 2000;
    // "Warming Up..." in state 6 after command 132.
    std::uint32_t warmUpMs = 0;
    // Simulated milliseconds per real millisecond for tickRealTime.
    double timeScale = 1.0;

    // The state at start; the printer starts initialised, every axis
    // powered but none homed, media in, door closed, no tool in the head.
    std::uint8_t startState = 7;
    std::uint32_t seed = 1;

    // Height of the table top over Z home, as the height sensor finds it on
    // an empty table ("Z Abs Zero" of a good machine).
    std::int32_t tableZero = 145900000;
    // Where the technician leaves the head when told to move the bridge to
    // the middle tool with the XY motors off (it reproduces the factory
    // "First Tool X/Y" through the tools calibration).
    std::int32_t handX = 23862280;
    std::int32_t handY = 384642440;
    // Layer thickness t = model thickness - gain * (DZ Sensor-To-Iron - bestDz):
    // raising DZ thins the layers, so the DZ calibrator converges. The gain
    // is small enough for the calibrator, which judges an average of the
    // last 25 layers and so sees each correction late, to settle from the
    // factory DZ without overshooting into its divergence test.
    // Faults for the calibrator's failure paths: a negative gain makes it
    // diverge; a bestDz beyond -2800000 or -1500000 drives DZ out of its
    // limits.
    double thicknessGain = 0.03;
    std::int32_t bestDz = -2000000;
    // Another such fault: after this many layers the printer ends its build
    // by itself, as when it is cancelled at the front panel (0: never).
    std::int32_t abortBuildAfterLayers = 0;
    // The two feeder sensors along the feeder axis: period (nm) and the
    // percentage of it during which the sensor is on.
    std::int32_t encoderPeriod = 2000000;  // sensor mask 256
    int encoderDuty = 50;
    std::int32_t rollPeriod = 2000000;     // sensor mask 16
    int rollDuty = 50;

    // Parameter indices whose opened bits are set at start.
    std::vector<int> openedIndices = {23, 40, 41, 51, 115};
    // 0: log times are the real time. Otherwise log times are this plus the
    // printer's clock, so that logs compare byte for byte.
    std::time_t wallClockStart = 0;
    // Errors the printer raises by itself: 28 door open on a motion, 37 no
    // media to feed, 32 a tool that cannot be taken, 50 no temperature
    // (255) while building.
    bool autoErrors = true;
    // How often a layer goes wrong, per thousand layers and for each kind of
    // trouble (roller-teeth pulses of 0 or 255, feeding and trimming retries,
    // tool retries, a pump mistake, a jump of the XY home, a bouncing or
    // stuck height sensor), so that a build shows the statistics good and
    // bad. 0 gives clean layer records.
    int layerTroublePerMille = 25;
    // A technician at the front panel, for demonstrations: this long after
    // the knife check has parked the bridge at Y = 80 mm with no tool in the
    // head (state 5, nothing sent since), RESUME is pressed, as the check
    // asks. 0: nobody there (tests press RESUME themselves).
    std::uint32_t operatorResumeMs = 0;
};
