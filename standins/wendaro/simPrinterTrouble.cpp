// What goes wrong now and then while a layer is built: the roller-teeth
// counter misses the sheet or fails to read, the feeder or the knife needs
// another try, a tool is taken twice, the pump misses its position, the XY
// head finds its home a few steps away, the height sensor bounces or sticks.
// Each kind comes by itself, at the configured rate, so that the build
// statistics of a long build go bad for a while and recover.
#include "standins/wendaro/simPrinter.h"

namespace {

std::uint8_t signedByte(int value)
{
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
}

}  // namespace

void simPrinter_t::addLayerTroubleLocked(simLayerRecord_t& record)
{
    const int rate = config_.layerTroublePerMille;
    if (rate <= 0)
        return;
    auto happens = [&] { return troubleRandom_.between(0, 999) < rate; };
    std::uint8_t* b = record.bytes.data();
    if (happens())
        b[simLayerRecord_t::rollerTeethOffset] = troubleRandom_.between(0, 1) == 0 ? 0 : 255;
    if (happens())
        b[simLayerRecord_t::feedingTriesOffset] = static_cast<std::uint8_t>(troubleRandom_.between(2, 3));
    if (happens())
        b[simLayerRecord_t::trimmingTriesOffset] = static_cast<std::uint8_t>(troubleRandom_.between(2, 3));
    if (happens())
        b[simLayerRecord_t::toolRetriesOffset] = static_cast<std::uint8_t>(troubleRandom_.between(1, 2));
    if (happens()) {
        const int miss = troubleRandom_.between(1100, 2500);
        record.setPumpError(static_cast<std::int16_t>(troubleRandom_.between(0, 1) == 0 ? miss : -miss));
    }
    if (happens())
        b[simLayerRecord_t::xHomeOffset] = signedByte(troubleRandom_.between(0, 1) == 0 ? 7 : -7);
    if (happens())
        b[simLayerRecord_t::yHomeOffset] = signedByte(troubleRandom_.between(0, 1) == 0 ? 6 : -6);
    if (happens())
        b[simLayerRecord_t::bouncingOffset] = static_cast<std::uint8_t>(troubleRandom_.between(40, 90));
    if (happens())
        b[simLayerRecord_t::stuckAtStartOffset] = 1;
    if (happens())
        b[simLayerRecord_t::searchFailuresOffset] = static_cast<std::uint8_t>(troubleRandom_.between(1, 2));
    if (happens())
        b[simLayerRecord_t::thicknessErrorOffset] = 2;
}
