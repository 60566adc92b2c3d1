// The demonstration files that the slicer's folder holds for the Run Tests
// page: the target script runs to its end on the simulated printer, cutting
// what it says, and the cube is a model the machines server stand-in builds.
#include "machine/textFileIo.h"
#include "procedures/batches/qvrFileBatch.h"
#include "standins/wendaro/simModelFile.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/support/queueWindow.h"
#include "tests/support/scriptedMessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string shipped(const char* name)
{
    std::ifstream in(std::string(QVR_DEMO_FOLDER) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

class demoFilesThreadsTest : public batchMachineThreadsTest {};

TEST_F(demoFilesThreadsTest, TargetTestCutsItsFiguresToTheEnd)
{
    const std::wstring path = L"C:/Program Files/Corvanta/Ondrel/Target_Test.txt";
    const std::string script = shipped("Target_Test.txt");
    ASSERT_FALSE(script.empty());
    ASSERT_TRUE(writeRawFile(path, script));

    scriptedMessageBox_t boxes;  // no "Error in batch!"
    queueWindow_t window;
    qvrFileBatch_t batch(L"Target Test", path);
    batch.setOwnerWindow(window.handle());
    const std::uint64_t from = mark();
    batch.execute();

    EXPECT_EQ(batch.stage(0).state, baseStaticBatch_t::completed_e);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(device().getStatus().errorNumber(), 0);
    const std::vector<int> codes = codesSince(from);
    // A sheet fed, ironed and trimmed, then the knife taken, and at the end
    // returned with the head sent home.
    const std::vector<int> prepare = {151, 130, 139, 14, 144, 142, 143, 140};
    ASSERT_GE(codes.size(), prepare.size() + 2);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + static_cast<long>(prepare.size())), prepare);
    EXPECT_EQ(std::vector<int>(codes.end() - 2, codes.end()), (std::vector<int>{141, 130}));
    // Four rings, all cut with the knife down; two lines and two squares.
    std::size_t cutArcs = 0;
    std::size_t looseArcs = 0;
    for (const simTraceEntry_t& entry : printer().trace().since(from)) {
        cutArcs += entry.note == "arc drawn" ? 1 : 0;
        looseArcs += entry.note == "arc with the pen up" ? 1 : 0;
    }
    EXPECT_EQ(cutArcs, 4u);
    EXPECT_EQ(looseArcs, 0u);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 150), 4 * 2 + 2 * 2 + 2 * 2);
}

TEST_F(demoFilesThreadsTest, CubeIsAFiftyMillimetreModel)
{
    const std::string text = shipped("Cube.zs");
    const std::optional<simModelFile_t> cube = simModelFile_t::parse(text, L"C:/Program Files/Corvanta/Ondrel/Cube.zs");
    ASSERT_TRUE(cube.has_value());
    EXPECT_EQ(cube->name, "Cube_50");
    EXPECT_EQ(cube->length, 50000000);
    EXPECT_EQ(cube->height, 50000000);
    EXPECT_EQ(cube->thickness, 168000);
    // Layers of 0.168 mm up to 50 mm.
    EXPECT_EQ(cube->layers, 298);
    EXPECT_GE(static_cast<std::int64_t>(cube->layers) * cube->thickness, 50000000);
    EXPECT_LT(static_cast<std::int64_t>(cube->layers - 1) * cube->thickness, 50000000);
}
