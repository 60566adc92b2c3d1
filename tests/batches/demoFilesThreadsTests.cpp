// The demonstration files for the slicer's folder: the target script runs to
// its end on the simulated printer, sending every command its text says, and
// the cube is a model the machines server stand-in builds.
#include "procedures/batches/qvrFileBatch.h"
#include "standins/wendaro/simModelFile.h"
#include "tests/batches/batchMachineSupport.h"
#include "tests/batches/commandBytes.h"
#include "tests/support/scriptedMessageBox.h"

#include <gtest/gtest.h>

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
    const std::size_t sentFrom = sentCommandsMark();
    batch.execute();

    EXPECT_EQ(batch.stage(0).statusText, L"Completed.");
    EXPECT_EQ(device().getStatus().errorNumber(), 0);
    // What the script says, in microns, sent in nanometres: a 200 mm sheet
    // fed, ironed and trimmed; the knife; four rings around (120, 100) mm;
    // the cross; the two squares (the second turned by 45 degrees, its
    // corners truncated); the knife back and the head home.
    const std::int32_t mm = 1000000;
    auto ring = [](std::int32_t radius) {
        return commandList_t{cmd(150, {1}), cmd(136, {i32(radius), i16(0), i16(360)}), cmd(150, {0})};
    };
    auto path5 = [](const std::int32_t (&corners)[5][2]) {
        commandList_t sent{cmd(135, {i32(corners[0][0]), i32(corners[0][1])}), cmd(150, {1})};
        for (int i = 1; i < 5; ++i)
            sent.push_back(cmd(135, {i32(corners[i][0]), i32(corners[i][1])}));
        sent.push_back(cmd(150, {0}));
        return sent;
    };
    const std::int32_t cross[2][2][2] = {{{75 * mm, 100 * mm}, {165 * mm, 100 * mm}},
                                         {{120 * mm, 55 * mm}, {120 * mm, 145 * mm}}};
    commandList_t crossCuts;
    for (const auto& line : cross)
        crossCuts.insert(crossCuts.end(), {cmd(135, {i32(line[0][0]), i32(line[0][1])}), cmd(150, {1}),
                                           cmd(135, {i32(line[1][0]), i32(line[1][1])}), cmd(150, {0})});
    const std::int32_t square[5][2] = {
        {98787000, 121213000}, {141213000, 121213000}, {141213000, 78787000}, {98787000, 78787000},
        {98787000, 121213000}};
    const std::int32_t turned[5][2] = {
        {80000030, 100000353}, {120000353, 140000677}, {160000677, 100000353}, {120000353, 60000030},
        {80000030, 100000353}};
    const commandList_t expected = join({
        {cmd(151, {0}), cmd(130, {0}), cmd(139, {1})},
        {cmd(14, {i32(200 * mm)}), cmd(144), cmd(142, {1}), cmd(143)},
        {cmd(140, {0, 0}), cmd(135, {i32(120 * mm), i32(100 * mm)})},
        ring(10 * mm), ring(20 * mm), ring(30 * mm), ring(40 * mm),
        crossCuts,
        path5(square), path5(turned),
        {cmd(141, {0}), cmd(130, {0})},
    });
    EXPECT_EQ(asLines(sentCommandsSince(sentFrom)), asLines(expected));
    // The printer cut each ring.
    std::vector<std::string> arcs;
    for (const simTraceEntry_t& entry : printer().trace().since(from))
        if (entry.note.rfind("arc", 0) == 0)
            arcs.push_back(entry.note);
    EXPECT_EQ(arcs, std::vector<std::string>(4, "arc drawn"));
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
