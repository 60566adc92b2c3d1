#include "procedures/batches/pensDrawingTestBatch.h"

#include "link/qvrClientDev.h"

#include <array>

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::int32_t layerLength = 180000000;  // nm

// One pen's figure: from where to where it draws, relative to its x0 (nm).
struct stroke_t {
    std::int32_t x1, y1, x2, y2;
};
constexpr std::array<stroke_t, 4> figure{{
    {-5000000, 30000000, 25000000, 30000000},
    {25000000, 40000000, -5000000, 40000000},
    {0, 50000000, 0, 80000000},
    {10000000, 80000000, 10000000, 50000000},
}};

}  // namespace

pensDrawingTestBatch_t::pensDrawingTestBatch_t()
{
    addStage(L"Iron Layer");
    addStage(L"Pens Drawing Test");
}

void pensDrawingTestBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;

    // Iron Layer
    homeXYAndUnhookIron();
    dev->sendCommandArgs(14, intArg, layerLength);
    sendAndCheck(139, byteArg, 1);
    sendAndCheck(144);
    sendAndCheck(142, byteArg, 1);
    sendAndCheck(143);
    finishStage();

    // Pens Drawing Test: pens 6, 5 and 4 side by side, 45 mm apart.
    constexpr std::array<int, 3> pens{6, 5, 4};
    for (int p = 0; p < 3; ++p) {
        const std::int32_t x0 = 35000000 + p * 45000000;
        sendAndCheck(140, byteArg, pens[static_cast<std::size_t>(p)], byteArg, 0);
        for (const stroke_t& s : figure) {
            sendAndCheck(135, intArg, x0 + s.x1, intArg, s.y1);
            sendAndCheck(150, byteArg, 1);
            sendAndCheck(135, intArg, x0 + s.x2, intArg, s.y2);
            sendAndCheck(150, byteArg, 0);
        }
    }
    sendAndCheck(141, byteArg, 0);
    finishStage();
}

void pensDrawingTestBatch_t::onStopped(stageStatus_t)
{
    if (qvrClientDev_t* dev = device())
        dev->sendCommand(141);
}
