// The demonstration files for the slicer's folder: the target script runs to
// its end on the simulated printer, cutting what it says, and the cube is a
// model the machines server stand-in builds.
#include "procedures/batches/qvrFileBatch.h"
#include "standins/wendaro/simModelFile.h"
#include "tests/batches/batchMachineSupport.h"
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
    ASSERT_TRUE(writeRawFile(path, shipped("Target_Test.txt")));
    scriptedMessageBox_t boxes;  // no "Error in batch!"
    qvrFileBatch_t batch(L"Target Test", path);
    const std::uint64_t from = mark();
    batch.execute();

    EXPECT_EQ(batch.stage(0).statusText, L"Completed.");
    EXPECT_EQ(device().getStatus().errorNumber(), 0);
    // A sheet fed, ironed and trimmed and the knife taken first; the knife
    // returned and the head sent home last.
    const std::vector<int> codes = codesSince(from);
    ASSERT_GE(codes.size(), 10u);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 8),
              (std::vector<int>{151, 130, 139, 14, 144, 142, 143, 140}));
    EXPECT_EQ(std::vector<int>(codes.end() - 2, codes.end()), (std::vector<int>{141, 130}));
    // Four rings cut with the knife down, each line and square side between
    // a knife down and up.
    std::vector<std::string> arcs;
    for (const simTraceEntry_t& entry : printer().trace().since(from))
        if (entry.note.rfind("arc", 0) == 0)
            arcs.push_back(entry.note);
    EXPECT_EQ(arcs, std::vector<std::string>(4, "arc drawn"));
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 150), 4 * 2 + 2 * 2 + 2 * 2);
}

TEST_F(demoFilesThreadsTest, CubeIsAFiftyMillimetreModel)
{
    const auto cube = simModelFile_t::parse(shipped("Cube.zs"), L"C:/Program Files/Corvanta/Ondrel/Cube.zs");
    ASSERT_TRUE(cube.has_value());
    EXPECT_EQ(cube->name, "Cube_50");
    EXPECT_EQ(std::vector<std::int64_t>({cube->length, cube->height, cube->thickness}),
              std::vector<std::int64_t>({50000000, 50000000, 168000}));
    // Layers of 0.168 mm up to 50 mm: 298.
    EXPECT_EQ(cube->layers, 298);
}
