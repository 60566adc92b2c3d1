#include "procedures/script/sensorBuiltins.h"

#include "procedures/script/scriptMachine.h"

namespace {

// Bits of the status's sensor word.
constexpr int feederHomeBit = 3;  // also the upper media
constexpr int rollToothBit = 4;
constexpr int xHomeBit = 16;
constexpr int yHomeBit = 17;
constexpr int zHomeBit = 18;
constexpr int doorThrownBit = 20;
constexpr int ironHomeBit = 21;
constexpr int ironUpBit = 22;
constexpr int pumpHomeBit = 24;
constexpr int lowerMediaBit = 28;
// Bit of the status's flags word.
constexpr int penDownBit = 6;

std::int32_t sensor(int bit)
{
    return scriptMachine_t::bit(scriptMachine_t::freshStatus().sensorWord(), bit);
}

std::int32_t penDown()
{
    return scriptMachine_t::bit(scriptMachine_t::freshStatus().flags(), penDownBit);
}

}  // namespace

std::int32_t isXhome_t::exec() { return sensor(xHomeBit); }
std::int32_t isYhome_t::exec() { return sensor(yHomeBit); }
std::int32_t isZhome_t::exec() { return sensor(zHomeBit); }
std::int32_t isIRONhome_t::exec() { return sensor(ironHomeBit); }
std::int32_t isPumpHome_t::exec() { return sensor(pumpHomeBit); }
std::int32_t isFEEDERhome_t::exec() { return sensor(feederHomeBit); }
std::int32_t isIRONup_t::exec() { return sensor(ironUpBit); }
std::int32_t hasLowerMedia_t::exec() { return sensor(lowerMediaBit); }
std::int32_t hasUpperMedia_t::exec() { return sensor(feederHomeBit); }
std::int32_t isROLLtooth_t::exec() { return sensor(rollToothBit); }
std::int32_t isDOORthrown_t::exec() { return sensor(doorThrownBit); }

std::int32_t isDOORopen_t::exec()
{
    // The door's bits depend on the machine type, which the device knows.
    scriptMachine_t::wait(scriptMachine_t::statusRequestCode);
    return scriptMachine_t::isDoorOpen() ? 1 : 0;
}

std::int32_t isPenDOWN_t::exec() { return penDown(); }
std::int32_t isPenUP_t::exec() { return 1 - penDown(); }

std::int32_t errorNumber_t::exec()
{
    return -static_cast<std::int32_t>(scriptMachine_t::freshStatus().errorNumber());
}
