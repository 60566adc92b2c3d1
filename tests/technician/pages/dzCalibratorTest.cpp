// The DZ Sensor-To-Iron calibrator fed with layer sequences: the machine is a
// fake whose stack grows by a given thickness per layer, or by a thickness
// that answers the DZ in force the way a printer would, right or wrong.
#include "technician/pages/dzCalibrator.h"
#include "tests/support/scriptedMessageBox.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t building = dzCalibrator_t::buildingFlag;
constexpr std::uint32_t modelEnded = dzCalibrator_t::modelEndedFlag;
constexpr std::int32_t modelThickness = 168000;

class fakeMachine_t : public dzCalibrator_t::machine_t {
public:
    std::uint32_t flags = 0;
    std::vector<std::int32_t> heights{0};  // record 0: the table
    std::int32_t lastIndex = -1;           // -1: the last of heights
    std::int32_t dzValue = -1200000;
    std::int32_t factory = -2200000;
    std::vector<std::int32_t> dzWrites;
    int cancels = 0;
    // The link up now (0: none; another number: a new link) and the one the
    // calibration took; DZ stored while they differ.
    int link = 1;
    int takenLink = 0;
    int offLinkWrites = 0;
    // The thickness of the next layer, from the DZ in force.
    std::function<std::int32_t(std::int32_t dz)> thicknessOf;

    void buildLayer() { heights.push_back(heights.back() + thicknessOf(dzValue)); }

    std::uint32_t statusFlags() override { return flags; }
    std::int32_t lastLayerIndex() override
    {
        return lastIndex >= 0 ? lastIndex : static_cast<std::int32_t>(heights.size()) - 1;
    }
    std::int32_t layerHeight(std::int32_t index) override
    {
        return index >= 0 && index < static_cast<std::int32_t>(heights.size()) ? heights[static_cast<std::size_t>(index)]
                                                                                : 0;
    }
    std::int32_t modelLayerThickness() override { return modelThickness; }
    std::int32_t dz() override { return dzValue; }
    std::int32_t factoryDz() override { return factory; }
    void setDz(std::int32_t value) override
    {
        if (!linkHolds())
            ++offLinkWrites;
        dzValue = value;
        dzWrites.push_back(value);
    }
    bool buildBlock() override
    {
        flags |= building;
        return true;
    }
    void cancelBuild() override { ++cancels; }
    void takeLink() override { takenLink = link; }
    bool linkHolds() override { return takenLink != 0 && takenLink == link; }
};

std::function<std::int32_t(std::int32_t)> constant(std::int32_t thickness)
{
    return [thickness](std::int32_t) { return thickness; };
}

// The printer's answer to DZ: thinner layers as DZ rises (gain above 0), or
// thicker ones (below 0: the loop runs away).
std::function<std::int32_t(std::int32_t)> responding(double gain)
{
    return [gain](std::int32_t dz) { return static_cast<std::int32_t>(modelThickness - gain * (dz + 2000000)); };
}

}  // namespace

TEST(dzCalibratorTest, layerSequences)
{
    struct case_t {
        const char* name;
        std::int32_t factory;
        std::function<std::int32_t(std::int32_t)> thickness;
        std::vector<std::int32_t> firstThicknesses;  // literal layers before the function takes over
        int layers;
        int endFlagsAtLayer;  // 0: never; else flags become endFlags before that layer is judged
        std::uint32_t endFlags;
        std::string computed;                 // onLayer's answer per layer: T or F
        std::vector<std::int32_t> dzWrites;   // the first writes, the start value's first
        std::vector<expectedBox_t> boxes;
        int cancels;
        std::int32_t startValueAfter;
        int linkLostAtLayer = 0;  // 0: never; else a new link before that layer is judged
    };
    auto error = [](const std::wstring& text) { return expectedBox_t{text, false, {}, MB_OK | MB_ICONSTOP, IDOK}; };
    const expectedBox_t aborted = error(L"Model building was aborted.");
    const expectedBox_t limits = error(dzCalibrator_t::limitsText);
    const case_t cases[] = {
        // Layer 4 averages layers 2 to 4 (h = 3): 172000 is 4000 too thick,
        // a 5000 step; counting from the table (h = 4) would step down.
        {"layers 1 to 3 change nothing", -2200000, constant(172000), {100000}, 4, 0, 0, "FFFT",
         {-2200000, -2195000}, {}, 0, -2200000},
        {"error exactly 5000 takes the second row", -2200000, constant(173000), {}, 4, 0, 0, "FFFT",
         {-2200000, -2195000}, {}, 0, -2200000},
        // 1000 too thick is no step; 25 such layers after the last (no)
        // correction complete the run and cancel its build.
        {"error exactly 1000 is quiet, 25 quiet layers complete", -2200000, constant(169000), {}, 25, 0, 0,
         std::string(3, 'F') + std::string(22, 'T'), {-2200000},
         {expectedBox_t{L"Calibration is completed successfully.\nNew DZ Sensor-To-Iron value is: -2.2mm.", false, {},
                        MB_OK | MB_ICONINFORMATION, IDOK}},
         1, -2200000},
        {"error exactly -1000 is quiet too", -2200000, constant(167000), {}, 5, 0, 0, "FFFTT", {-2200000}, {}, 0,
         -2200000},
        // The limits are inclusive: the step to -2800000 is taken, the next
        // one aborts (and its build is cancelled by stop).
        {"a correction to exactly -2800000 is accepted", -2780000, constant(150000), {}, 5, 0, 0, "FFFTT",
         {-2780000, -2800000}, {limits}, 1, -2780000},
        {"a correction to exactly -1500000 is accepted", -1520000, constant(190000), {}, 5, 0, 0, "FFFTT",
         {-1520000, -1500000}, {limits}, 1, -1520000},
        // DZ keeps falling while the layers get thinner: at layer 30 DZ has
        // moved 150000 or more in 25 layers the wrong way. DZ went down from
        // layer 6 to 12, so the next run starts 0.2 mm below the factory value.
        {"divergence suggests the next start", -2200000, responding(-0.03), {}, 30, 0, 0,
         std::string(3, 'F') + std::string(27, 'T'), {-2200000, -2220000},
         {error(L"DZ Iron calibration failed. Please remove the model and restart the calibration.")}, 1, -2400000},
        // A build aborted under the run ends it without a cancel of its own.
        {"model ended", -2200000, constant(168000), {}, 6, 6, building | modelEnded, "FFFTTF", {-2200000}, {aborted},
         0, -2200000},
        {"building stopped", -2200000, constant(168000), {}, 6, 6, 0, "FFFTTF", {-2200000}, {aborted}, 0, -2200000},
        // The thickness of layer 4 asks for a step, but the link the run
        // started on was lost (another is up): DZ stays, the run ends and
        // its build is cancelled on the link that is up.
        {"link lost before a correction", -2200000, constant(172000), {}, 4, 0, 0, "FFFT", {-2200000}, {aborted}, 1,
         -2200000, 4},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        fakeMachine_t machine;
        machine.factory = c.factory;
        dzCalibrator_t calibrator(machine);
        scriptedMessageBox_t boxes;
        for (const expectedBox_t& box : c.boxes)
            boxes.expect(box);
        calibrator.start();
        ASSERT_TRUE(calibrator.isRunning());
        std::string computed;
        for (int layer = 1; layer <= c.layers; ++layer) {
            const auto literal = static_cast<std::size_t>(layer - 1);
            machine.thicknessOf = literal < c.firstThicknesses.size() ? constant(c.firstThicknesses[literal])
                                                                        : c.thickness;
            machine.buildLayer();
            if (layer == c.endFlagsAtLayer)
                machine.flags = c.endFlags;
            if (layer == c.linkLostAtLayer)
                ++machine.link;
            computed += calibrator.onLayer() ? 'T' : 'F';
        }
        EXPECT_EQ(computed, c.computed);
        ASSERT_GE(machine.dzWrites.size(), c.dzWrites.size());
        EXPECT_EQ(std::vector<std::int32_t>(machine.dzWrites.begin(), machine.dzWrites.begin() + c.dzWrites.size()),
                  c.dzWrites);
        for (std::int32_t written : machine.dzWrites) {
            EXPECT_GE(written, dzCalibrator_t::lowestDz);
            EXPECT_LE(written, dzCalibrator_t::highestDz);
        }
        EXPECT_EQ(boxes.shown().size(), c.boxes.size());
        EXPECT_EQ(machine.cancels, c.cancels);
        EXPECT_EQ(machine.offLinkWrites, 0);
        EXPECT_EQ(calibrator.isRunning(), c.boxes.empty());
        EXPECT_EQ(calibrator.startValue(), c.startValueAfter);
        if (!calibrator.isRunning()) {
            // The next run starts from the value kept (a suggestion after a divergence).
            machine.flags = 0;
            calibrator.start();
            EXPECT_EQ(machine.dzWrites.back(), c.startValueAfter);
        }
    }
}

// The run is judged once per new layer, never past its history, and stop
// asks while the run is not finished.
TEST(dzCalibratorTest, repeatedAndOutOfRangeLayersStopAndCheckAborted)
{
    fakeMachine_t machine;
    machine.thicknessOf = constant(200000);
    dzCalibrator_t calibrator(machine);
    scriptedMessageBox_t boxes;
    calibrator.start();
    for (int layer = 1; layer <= 4; ++layer)
        machine.buildLayer();
    EXPECT_TRUE(calibrator.onLayer());
    EXPECT_FALSE(calibrator.onLayer());  // a second notice of the same record
    EXPECT_EQ(machine.dzWrites.size(), 2u);
    machine.lastIndex = dzCalibrator_t::historySize;
    EXPECT_FALSE(calibrator.onLayer());
    EXPECT_EQ(calibrator.layer(), 4);

    boxes.expect(dzCalibrator_t::stopQuestion, MB_YESNO | MB_ICONWARNING, IDNO);
    calibrator.stop();
    EXPECT_TRUE(calibrator.isRunning());
    EXPECT_EQ(machine.cancels, 0);
    boxes.expect(dzCalibrator_t::stopQuestion, MB_YESNO | MB_ICONWARNING, IDYES);
    calibrator.stop();
    EXPECT_FALSE(calibrator.isRunning());
    EXPECT_EQ(machine.cancels, 1);
    EXPECT_EQ(calibrator.layer(), 0);

    // A refused start changes nothing; an ended model under a run ends it.
    boxes.expect(dzCalibrator_t::alreadyBuildingText, MB_OK | MB_ICONSTOP, IDOK);
    calibrator.start();
    EXPECT_FALSE(calibrator.isRunning());
    EXPECT_EQ(machine.dzWrites.size(), 2u);
    machine.flags = 0;
    machine.link = 0;
    boxes.expect(L"Cannot start while machine is not connected.", MB_OK | MB_ICONSTOP, IDOK);
    calibrator.start();
    EXPECT_FALSE(calibrator.isRunning());
    EXPECT_EQ(machine.dzWrites.size(), 2u);
    machine.link = 1;
    machine.flags = 0;
    calibrator.start();
    ASSERT_TRUE(calibrator.isRunning());
    calibrator.checkAborted();  // building, no model end
    EXPECT_TRUE(calibrator.isRunning());
    boxes.expect(L"Model building was aborted.", MB_OK | MB_ICONSTOP, IDOK);
    machine.flags = modelEnded;
    calibrator.checkAborted();
    EXPECT_FALSE(calibrator.isRunning());
    EXPECT_EQ(machine.cancels, 1);
}
