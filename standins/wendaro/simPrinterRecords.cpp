// The printer's records as the client reads them (status, machine
// information), its sensors and its parameter memory. Every field is
// written by offset and width, little-endian.
#include "standins/wendaro/simPrinter.h"

#include "machine/glueProfile.h"
#include "machine/littleEndian.h"
#include "machine/paramImage.h"
#include "machine/textUtils.h"
#include "machine/units.h"
#include "machine/wstr.h"

#include <algorithm>
#include <span>

namespace {

// Status record offsets (60 bytes).
constexpr std::size_t stMachineID = 0;
constexpr std::size_t stZ = 4;
constexpr std::size_t stSensors = 8;
constexpr std::size_t stFlags = 12;
constexpr std::size_t stMeasuredHeight = 16;
constexpr std::size_t stLayerLength = 20;
constexpr std::size_t stElapsed = 24;
constexpr std::size_t stX = 28;
constexpr std::size_t stY = 30;
constexpr std::size_t stPump = 32;
constexpr std::size_t stCurrentLayer = 36;
constexpr std::size_t stFirstLayer = 38;
constexpr std::size_t stLastLayer = 40;
constexpr std::size_t stRecords = 42;
constexpr std::size_t stRemainingMinutes = 46;
constexpr std::size_t stError = 48;
constexpr std::size_t stState = 50;
constexpr std::size_t stActivity = 51;
constexpr std::size_t stFeeder = 56;

// Machine information offsets (52 bytes).
constexpr std::size_t miHardware = 4;
constexpr std::size_t miEmbedded = 6;
constexpr std::size_t miZHeight = 8;
constexpr std::size_t miRunningMinutes = 24;
constexpr std::size_t miMotorWord = 30;
constexpr std::size_t miTemperature = 32;
constexpr std::size_t miPhysicalTool = 34;
constexpr std::size_t miLogicalTool = 35;
constexpr std::size_t miHeadX = 36;
constexpr std::size_t miHeadY = 38;

std::uint32_t clampToI32(std::int64_t value)
{
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
}

std::uint32_t clampToI16(std::int64_t value)
{
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767)));
}

}  // namespace

std::int32_t simPrinter_t::wordLocked(int index) const
{
    return index >= 0 && index < paramLayout::words ? memory_[static_cast<std::size_t>(index)] : 0;
}

std::int32_t simPrinter_t::stepsLocked(int axis, std::int64_t nm) const
{
    // The client's own rounding (half away from zero) with the machine's
    // step sizes, words 64 to 68.
    return static_cast<std::int32_t>(clampToI32(nanoToStepsWith(wordLocked(64 + axis), nm)));
}

bool simPrinter_t::patternOnLocked(std::uint32_t mask, std::int64_t feeder) const
{
    const bool encoder = (mask & 256u) != 0;
    const std::int64_t period = std::max<std::int64_t>(encoder ? config_.encoderPeriod : config_.rollPeriod, 2);
    const int duty = std::clamp(encoder ? config_.encoderDuty : config_.rollDuty, 0, 100);
    const std::int64_t phase = ((feeder % period) + period) % period;
    return phase < period * duty / 100;
}

std::uint32_t simPrinter_t::sensorWordLocked() const
{
    auto near0 = [&](int axis) {
        const std::int64_t step = std::max<std::int64_t>(wordLocked(64 + axis), 1);
        return pos_[static_cast<std::size_t>(axis)] > -step && pos_[static_cast<std::size_t>(axis)] < step;
    };
    auto inRack = [&](int tool) { return tool_ != tool && !penMissing_[static_cast<std::size_t>(tool)]; };
    const bool type1000 = config_.hardwareRevision == 1000;
    std::uint32_t word = 0;
    if (media_ && near0(feeder_e))
        word |= 1u << 3;
    // The feeder sensors read at an edge report the stretch just travelled,
    // as the feeder stops on the edge that ended it (command 164).
    if (media_ && patternOnLocked(16, pos_[feeder_e] - 1))
        word |= 1u << 4;
    if (inRack(6))
        word |= 1u << 5;
    if (inRack(5))
        word |= 1u << 6;
    if (inRack(4))
        word |= 1u << 7;
    if (media_ && patternOnLocked(256, pos_[feeder_e] - 1))
        word |= 1u << 8;
    if (!ironHooked_)
        word |= 1u << 10;
    if (door_ && !type1000)
        word |= (1u << 11) | (1u << 12);
    if (near0(x_e))
        word |= 1u << 16;
    if (near0(y_e))
        word |= 1u << 17;
    if (near0(z_e))
        word |= 1u << 18;
    if (door_ && type1000)
        word |= 1u << 19;
    if (doorThrown_)
        word |= 1u << 20;
    if (!ironHooked_ || near0(y_e))
        word |= 1u << 21;
    if (heightTouch_)
        word |= 1u << 22;
    if (near0(pump_e))
        word |= 1u << 24;
    if (media_)
        word |= 1u << 28;
    return (word | forcedOn_) & ~forcedOff_;
}

std::uint32_t simPrinter_t::flagsWordLocked() const
{
    std::uint32_t flags = machineStatus_t::flagBit13;
    if (homed_[x_e] && homed_[y_e] && powered_[x_e] && powered_[y_e])
        flags |= machineStatus_t::flagXYAxis;
    if (homed_[z_e] && powered_[z_e])
        flags |= machineStatus_t::flagZAxis;
    if (homed_[pump_e] && powered_[pump_e])
        flags |= machineStatus_t::flagPumpAxis;
    if (homed_[feeder_e] && powered_[feeder_e])
        flags |= machineStatus_t::flagFeederAxis;
    if (initialised_)
        flags |= machineStatus_t::flagInitialised;
    if (penDown_)
        flags |= machineStatus_t::flagPenDown;
    if (ironHooked_)
        flags |= machineStatus_t::flagIronHooked;
    if (media_)
        flags |= machineStatus_t::flagMediaPresent;
    if (modelOnTable_)
        flags |= machineStatus_t::flagBuilding;
    const bool cold = temperature_ < wordLocked(87) && (wordLocked(120) & 4) == 0;
    if (cold || wakeEndsAt_)
        flags |= machineStatus_t::flagWarmingUp;
    if (modelEnded_)
        flags |= machineStatus_t::flagModelEnded;
    return flags;
}

machineStatus_t simPrinter_t::statusLocked() const
{
    machineStatus_t status;
    std::uint8_t* b = status.bytes.data();
    le::putU32(b + stMachineID, config_.machineID);
    le::putU32(b + stZ, static_cast<std::uint32_t>(stepsLocked(z_e, pos_[z_e])));
    le::putU32(b + stSensors, sensorWordLocked());
    le::putU32(b + stFlags, flagsWordLocked());
    le::putU32(b + stMeasuredHeight, static_cast<std::uint32_t>(measuredHeight_));
    le::putU32(b + stLayerLength, static_cast<std::uint32_t>(layerLength_));
    le::putU16(b + stX, clampToI16(stepsLocked(x_e, pos_[x_e])));
    le::putU16(b + stY, clampToI16(stepsLocked(y_e, pos_[y_e])));
    le::putU16(b + stPump, clampToI16(stepsLocked(pump_e, pos_[pump_e])));
    // The build's fields while its model is on the table; with the table
    // empty they read 0, so that the client stops fetching layer records.
    if (build_ && modelOnTable_) {
        const build_t& build = *build_;
        const std::int32_t current =
            build.running ? std::min(build.layersDone + 1, build.model.layers) : build.layersDone;
        if (build.running)
            le::putU32(b + stElapsed, static_cast<std::uint32_t>(build.elapsedMs));
        le::putU16(b + stCurrentLayer, clampToI16(current));
        le::putU16(b + stFirstLayer, 1);
        le::putU16(b + stLastLayer, clampToI16(build.model.layers));
        le::putU16(b + stRecords, clampToI16(build.layersDone));
        if (build.running) {
            const std::uint64_t left = static_cast<std::uint64_t>(build.model.layers - build.layersDone);
            le::putU16(b + stRemainingMinutes,
                       static_cast<std::uint32_t>(std::min<std::uint64_t>(left * config_.layerMs / 60000, 65535)));
        }
        if (build.running && state_ == 1)
            b[stActivity] = static_cast<std::uint8_t>(build.phase + 1);
    }
    b[stError] = error_;
    b[stState] = state_;
    le::putU32(b + stFeeder, static_cast<std::uint32_t>(stepsLocked(feeder_e, pos_[feeder_e])));
    return status;
}

machineInfo_t simPrinter_t::infoLocked() const
{
    machineInfo_t info;
    std::uint8_t* b = info.bytes.data();
    le::putU16(b + miHardware, config_.hardwareRevision);
    le::putU16(b + miEmbedded, config_.embeddedVersion);
    le::putU32(b + miZHeight, static_cast<std::uint32_t>(zHeight_));
    le::putU32(b + miRunningMinutes, static_cast<std::uint32_t>(runningMs_ / 60000));
    std::uint32_t motors = 0;
    for (int axis = 0; axis < axisCount; ++axis)
        if (powered_[static_cast<std::size_t>(axis)])
            motors |= 1u << (8 + axis);
    le::putU16(b + miMotorWord, motors);
    b[miTemperature] = static_cast<std::uint8_t>(temperature_);
    b[miPhysicalTool] = physicalTool_;
    b[miLogicalTool] = static_cast<std::uint8_t>(static_cast<std::int8_t>(tool_));
    if (searchReported_) {
        le::putU16(b + miHeadX, static_cast<std::uint16_t>(searchX_));
        le::putU16(b + miHeadY, static_cast<std::uint16_t>(searchY_));
    } else {
        le::putU16(b + miHeadX, clampToI16(stepsLocked(x_e, pos_[x_e])));
        le::putU16(b + miHeadY, clampToI16(stepsLocked(y_e, pos_[y_e])));
    }
    return info;
}

std::vector<std::uint8_t> simPrinter_t::statusPacketLocked(std::uint8_t type) const
{
    const machineStatus_t status = statusLocked();
    std::vector<std::uint8_t> packet(1 + status.bytes.size());
    packet[0] = type;
    std::copy(status.bytes.begin(), status.bytes.end(), packet.begin() + 1);
    return packet;
}

std::vector<std::uint8_t> simPrinter_t::infoPacketLocked() const
{
    const machineInfo_t info = infoLocked();
    std::vector<std::uint8_t> packet(1 + info.bytes.size());
    packet[0] = 11;
    std::copy(info.bytes.begin(), info.bytes.end(), packet.begin() + 1);
    return packet;
}

// ---- Parameter memory -----------------------------------------------------

void simPrinter_t::initialiseMemory()
{
    memory_ = getDefaultParameterTable();
    memory_[0] = static_cast<std::int32_t>(config_.machineID);
    if (config_.embeddedVersion < paramLayout::factoryBlockVersion) {
        // Before 1120 the glue table is kept in the full form and there is
        // no factory block.
        std::vector<glueProfile_t> profiles;
        const parameterMemory_t& defaults = getDefaultParameterTable();
        unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(defaults), true), true);
        std::fill(memory_.begin() + paramLayout::glueTableWord, memory_.end(), 0);
        packGlueTable(profiles, glueRegionOf(std::span<std::int32_t>(memory_), false), false);
    }
    for (int index : config_.openedIndices)
        if (index >= 0 && index < paramLayout::parameterWords)
            memory_[static_cast<std::size_t>(paramLayout::openedBitmapWord + index / 32)] |=
                static_cast<std::int32_t>(1u << (index % 32));
}

std::vector<std::uint8_t> simPrinter_t::readChunkLocked(std::span<const std::uint8_t> payload)
{
    const std::uint32_t start = le::getU16(&payload[0]);
    const std::uint32_t end = le::getU16(&payload[2]);
    if (start % 4 != 0 || start >= end || end > static_cast<std::uint32_t>(paramLayout::bytes) || end - start > 60) {
        noteLocked("memory read refused");
        return {};
    }
    std::vector<std::uint8_t> packet;
    packet.reserve(4 + end - start);
    packet.push_back(7);
    packet.push_back(static_cast<std::uint8_t>(end - start));
    packet.push_back(static_cast<std::uint8_t>(start));
    packet.push_back(static_cast<std::uint8_t>(start >> 8));
    for (std::uint32_t offset = start; offset < end; ++offset)
        packet.push_back(paramImage::getByte(std::span<const std::int32_t>(memory_), offset));
    return packet;
}

bool simPrinter_t::writeWordLocked(std::span<const std::uint8_t> payload, std::uint32_t connection)
{
    const std::uint32_t offset = le::getU16(&payload[0]);
    const std::int32_t value = le::getI32(&payload[2]);
    const std::uint8_t flag = payload[6];
    const std::uint8_t opened = payload[7];
    if (offset % 4 != 0 || offset >= static_cast<std::uint32_t>(paramLayout::bytes)) {
        noteLocked("parameter write refused");
        return false;
    }
    const int index = static_cast<int>(offset / 4);
    const std::int32_t old = memory_[static_cast<std::size_t>(index)];
    memory_[static_cast<std::size_t>(index)] = value;
    if (opened == 1 && index < paramLayout::parameterWords)
        memory_[static_cast<std::size_t>(paramLayout::openedBitmapWord + index / 32)] |=
            static_cast<std::int32_t>(1u << (index % 32));
    noteLocked(simTraceNote_t() << "parameter " << index << " := " << value << " (flag " << flag << ", opened " << opened
                                << ")");
    if (old != value && logging()) {
        const machineParam_t* param = parameterAt(index);
        dailyLocked(wstr_t() << L"Parameter " << index << L" " << (param != nullptr ? param->name() : std::wstring())
                             << L" changed from " << old << L" to " << value);
    }
    eventLocked(simEvent_t::kind_e::memoryWritten_e, std::wstring(), connection);
    return true;
}

bool simPrinter_t::writeBlockLocked(std::span<const std::uint8_t> payload, std::uint32_t connection)
{
    const std::uint32_t n = payload[0] & 0x7Fu;
    const bool last = (payload[0] & 0x80u) != 0;
    const std::uint32_t block = le::getU16(&payload[1]);
    const std::uint32_t chunk = le::getU16(&payload[3]);
    if (chunk + n > static_cast<std::uint32_t>(paramLayout::bytes) || chunk < block) {
        noteLocked("parameter block refused");
        return false;
    }
    for (std::uint32_t i = 0; i < n; ++i)
        paramImage::setByte(std::span<std::int32_t>(memory_), chunk + i, payload[5 + i]);
    if (last) {
        const std::uint32_t bytes = chunk + n - block;
        noteLocked(simTraceNote_t() << "block written: offset " << block << ", bytes " << bytes);
        if (logging())
            dailyLocked(wstr_t() << L"Parameter block written at byte " << block << L" (" << bytes << L" bytes)");
        eventLocked(simEvent_t::kind_e::memoryWritten_e, std::wstring(), connection);
    }
    return true;
}
