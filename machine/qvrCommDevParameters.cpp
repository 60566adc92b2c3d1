// The device's parameter memory: reading it from the machine (command 5),
// writing single parameters (command 3) and blocks (command 8), the tool and
// glue tables, and the values that procedures and pages read.
#include "machine/qvrCommDev.h"
#include "machine/littleEndian.h"
#include "machine/machineParam.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace {
bool isWordIndex(std::int32_t index) { return index >= 0 && index < qvrCommDev_t::memoryWords; }
}  // namespace

std::int32_t qvrCommDev_t::getParamValue(const machineParam_t& param)
{
    lockGuard_t guard(lock);
    return isWordIndex(param.index()) ? parameters[param.index()] : 0;
}

void qvrCommDev_t::setParameterWord(std::int32_t index, std::int32_t value)
{
    lockGuard_t guard(lock);
    if (isWordIndex(index))
        parameters[index] = value;
}

void qvrCommDev_t::getParameterMemory(std::int32_t* out1024)
{
    lockGuard_t guard(lock);
    std::copy(std::begin(parameters), std::end(parameters), out1024);
}

void qvrCommDev_t::getMachineParameterMemory(std::int32_t* out1024)
{
    lockGuard_t guard(lock);
    std::copy(std::begin(machineParameters), std::end(machineParameters), out1024);
}

void qvrCommDev_t::copyIntoParameters(std::int32_t wordIndex, const void* data, std::int32_t byteCount)
{
    if (!isWordIndex(wordIndex) || data == nullptr || byteCount <= 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    lockGuard_t guard(lock);
    std::span<std::int32_t> image(parameters + wordIndex, static_cast<std::size_t>(memoryWords - wordIndex));
    // Byte b of the memory is byte b mod 4 of word b / 4; nothing past the end.
    for (std::int32_t b = 0; b < byteCount; ++b) {
        const std::size_t word = static_cast<std::size_t>(b) / 4;
        if (word >= image.size())
            break;
        const unsigned shift = 8 * (static_cast<unsigned>(b) % 4);
        auto value = static_cast<std::uint32_t>(image[word]);
        value = (value & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(bytes[b]) << shift);
        image[word] = static_cast<std::int32_t>(value);
    }
}

std::int32_t qvrCommDev_t::getFactoryValue(const machineParam_t& param)
{
    const bool factoryBlock = isEmbeddedVersionAtLeast1120();
    lockGuard_t guard(lock);
    const std::int32_t word = param.index() + factoryBlockWord;
    if (factoryBlock && isWordIndex(word))
        return parameters[word];
    return defaultParameterValue(param.index());
}

std::int32_t qvrCommDev_t::getDefaultValue(std::int32_t index) { return defaultParameterValue(index); }

const std::int32_t* qvrCommDev_t::getDefaultParameterTable() { return ::getDefaultParameterTable().data(); }

const machineParam_t* qvrCommDev_t::findParameter(std::int32_t index, const std::wstring& name)
{
    return ::findParameter(index, name);
}

// --- reading from the machine -------------------------------------------------

void qvrCommDev_t::requestParameters() { requestParameterChunk(0); }

void qvrCommDev_t::requestParameterChunk(std::int32_t offset)
{
    if (offset < 0 || offset >= memoryBytes)
        return;
    {
        lockGuard_t guard(lock);
        if (offset == 0 && requestedOffset != -1) {
            // A read is under way: start again from 0 when its next chunk comes.
            rereadDeferred = true;
            return;
        }
        requestedOffset = offset;
    }
    sendCommandArgs(5, 2, offset, 2, std::min(offset + readChunkBytes, memoryBytes));
}

void qvrCommDev_t::restartReadIfActive()
{
    lockGuard_t guard(lock);
    if (requestedOffset != -1)
        requestParameterChunk(0);
}

bool qvrCommDev_t::isParameterReadActive()
{
    lockGuard_t guard(lock);
    return requestedOffset != -1;
}

// --- writing to the machine ---------------------------------------------------

void qvrCommDev_t::sendParameter(std::int32_t index, std::int32_t value, std::uint8_t flag, bool markAsOpened)
{
    if (!isWordIndex(index))
        return;
    std::uint8_t mark = 0;
    if (markAsOpened)
        mark = static_cast<std::uint8_t>(markOpened(index, value, flag != 0));
    packetBuffer_t payload(commandPacketCapacity);
    payload.appendShort(static_cast<std::uint32_t>(index * 4));
    payload.appendInt(static_cast<std::uint32_t>(value));
    payload.pushByte(flag);
    payload.pushByte(mark);
    sendCommand(3, &payload);
    lockGuard_t guard(lock);
    parameters[index] = value;
    restartReadIfActive();
}

void qvrCommDev_t::setParameter(const machineParam_t& param, std::int32_t value, bool markAsOpened)
{
    const std::int32_t index = param.index();
    if (!isWordIndex(index))
        return;
    std::int32_t oldValue = 0;
    bool changed = false;
    {
        lockGuard_t guard(lock);
        oldValue = parameters[index];
        if (oldValue != value) {
            parameters[index] = value;
            changed = true;
        }
    }
    if (changed)
        logParameterChange(param, oldValue);
    sendParameterOf(param, markAsOpened);
}

void qvrCommDev_t::sendParameterOf(const machineParam_t& param, bool markAsOpened)
{
    std::int32_t value = 0;
    {
        lockGuard_t guard(lock);
        if (!isWordIndex(param.index()))
            return;
        value = parameters[param.index()];
    }
    sendParameter(param.index(), value, 1, markAsOpened);
    saveParametersFile();
}

void qvrCommDev_t::sendParameterAt(std::int32_t index, bool markAsOpened)
{
    if (const machineParam_t* param = parameterAt(index))
        sendParameterOf(*param, markAsOpened);
}

void qvrCommDev_t::sendAllParameters()
{
    saveParametersFile();
    // The machine number is the machine's own; it is never sent.
    const machineParam_t* machineIdParam = findParameter(0, L"Machine ID");
    const int machineIdIndex = machineIdParam != nullptr ? machineIdParam->index() : -1;
    const int highest = highestParameterIndex();
    for (int i = 0; i <= highest; ++i) {
        if (parameterAt(i) == nullptr || i == machineIdIndex)
            continue;
        std::int32_t value = 0;
        {
            lockGuard_t guard(lock);
            value = parameters[i];
        }
        sendParameter(i, value, 0, false);
    }
    sendToolTable(nullptr);
    sendGlueProfiles();
}

void qvrCommDev_t::writeParameterBlock(std::int32_t wordIndex, std::int32_t byteCount, const void* data)
{
    if (!isWordIndex(wordIndex) || data == nullptr || byteCount <= 0)
        return;
    // Nothing past the end of the 4096-byte store.
    byteCount = std::min(byteCount, memoryBytes - wordIndex * 4);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::int32_t blockOffset = wordIndex * 4;
    for (std::int32_t p = 0; p < byteCount; p += writeChunkBytes) {
        const std::int32_t n = std::min(writeChunkBytes, byteCount - p);
        const bool last = byteCount - p <= writeChunkBytes;
        packetBuffer_t payload(commandPacketCapacity);
        payload.pushByte(static_cast<std::uint32_t>(n) | (last ? 0x80u : 0u));
        payload.appendShort(static_cast<std::uint32_t>(blockOffset));
        payload.appendShort(static_cast<std::uint32_t>(blockOffset + p));
        payload.append(bytes + p, n);
        sendCommand(8, &payload);
    }
    lockGuard_t guard(lock);
    copyIntoParameters(wordIndex, data, byteCount);
    restartReadIfActive();
}

std::int32_t qvrCommDev_t::markOpened(std::int32_t index, std::int32_t, bool save)
{
    if (index < 0 || index >= 128)
        return 1;
    bool newlySet = false;
    {
        lockGuard_t guard(lock);
        const std::int32_t word = openedBitmapWord + index / 32;
        const std::uint32_t bit = 1u << (index % 32);
        auto bits = static_cast<std::uint32_t>(parameters[word]);
        newlySet = (bits & bit) == 0;
        parameters[word] = static_cast<std::int32_t>(bits | bit);
    }
    if (newlySet && save)
        saveOpenedParams();
    return 1;
}

// --- tool and glue tables -----------------------------------------------------

void qvrCommDev_t::getToolTable(toolInfo_t* out12, const std::int32_t* memory)
{
    lockGuard_t guard(lock);
    readToolTable(std::span<const std::int32_t>(memory != nullptr ? memory : parameters, memoryWords), out12);
}

void qvrCommDev_t::setToolTable(const toolInfo_t* tools12, std::int32_t* memory)
{
    lockGuard_t guard(lock);
    writeToolTable(std::span<std::int32_t>(memory != nullptr ? memory : parameters, memoryWords), tools12);
}

void qvrCommDev_t::sendToolTable(const toolInfo_t* tools12)
{
    std::uint8_t bytes[paramLayout::toolTableBytes];
    {
        lockGuard_t guard(lock);
        if (tools12 != nullptr)
            setToolTable(tools12, nullptr);
        le::wordsToBytes(parameters + toolTableWord, paramLayout::toolTableBytes / 4, bytes);
    }
    writeParameterBlock(toolTableWord, paramLayout::toolTableBytes, bytes);
}

void qvrCommDev_t::sendToolTableAndSave(const toolInfo_t* tools12)
{
    sendToolTable(tools12);
    saveParametersFile();
}

void qvrCommDev_t::getGlueTable(std::vector<std::uint8_t>& out, const std::int32_t* memory)
{
    // The version may read a file, so it is asked before the lock is taken.
    const std::int32_t bytes = glueRegionBytes(isEmbeddedVersionAtLeast1120());
    out.resize(static_cast<std::size_t>(bytes));
    lockGuard_t guard(lock);
    le::wordsToBytes((memory != nullptr ? memory : parameters) + glueTableWord, static_cast<std::size_t>(bytes / 4),
                     out.data());
}

bool qvrCommDev_t::setGlueTable(std::span<const std::uint8_t> table, std::int32_t* memory)
{
    const std::int32_t bytes = glueRegionBytes(isEmbeddedVersionAtLeast1120());
    if (table.size() != static_cast<std::size_t>(bytes))
        return false;
    lockGuard_t guard(lock);
    le::bytesToWords(table.data(), static_cast<std::size_t>(bytes / 4),
                     (memory != nullptr ? memory : parameters) + glueTableWord);
    return true;
}

std::vector<glueProfile_t> qvrCommDev_t::getGlueProfiles()
{
    lockGuard_t guard(lock);
    return glueProfiles;
}

void qvrCommDev_t::setGlueProfiles(const std::vector<glueProfile_t>& profiles, bool save)
{
    {
        lockGuard_t guard(lock);
        glueProfiles = profiles;
        std::stable_sort(glueProfiles.begin(), glueProfiles.end());
    }
    sendGlueProfiles();
    if (save)
        saveParametersFile();
}

void qvrCommDev_t::setGlueProfile(const glueProfile_t& profile, bool save)
{
    {
        lockGuard_t guard(lock);
        auto found = std::find_if(glueProfiles.begin(), glueProfiles.end(),
                                  [&](const glueProfile_t& p) { return p.key == profile.key; });
        if (found != glueProfiles.end()) {
            *found = profile;
        } else {
            glueProfiles.push_back(profile);
            std::stable_sort(glueProfiles.begin(), glueProfiles.end());
        }
    }
    sendGlueProfiles();
    if (save)
        saveParametersFile();
}

void qvrCommDev_t::sendGlueProfiles()
{
    // The form is decided once for the whole operation.
    const bool compact = isEmbeddedVersionAtLeast1120();
    std::vector<std::uint8_t> bytes;
    {
        lockGuard_t guard(lock);
        std::span<std::int32_t> memory(parameters, memoryWords);
        std::span<std::int32_t> region = glueRegionOf(memory, compact);
        packGlueTable(glueProfiles, region, compact);
        const std::int32_t used = glueBytesUsed(region, compact);
        if (used < 4 || used > glueRegionBytes(compact))
            return;
        bytes.resize(static_cast<std::size_t>(used));
        for (std::int32_t b = 0; b < used; ++b) {
            const auto word = static_cast<std::uint32_t>(region[static_cast<std::size_t>(b / 4)]);
            bytes[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(word >> (8 * (b % 4)));
        }
    }
    writeParameterBlock(glueTableWord, static_cast<std::int32_t>(bytes.size()), bytes.data());
}

// --- conversions --------------------------------------------------------------

namespace {
// "X Step Size" to "Feeder Step Size" are words 64 to 68.
constexpr std::int32_t firstStepSizeWord = 64;
}  // namespace

double qvrCommDev_t::axisStepsToMm(std::int32_t axis, std::int32_t steps)
{
    if (axis < 0 || axis > 4)
        return 0.0;
    std::int32_t stepSize = 0;
    {
        lockGuard_t guard(lock);
        stepSize = parameters[firstStepSizeWord + axis];
    }
    // The machine computes steps × size in 32 bits.
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(steps) * static_cast<std::uint32_t>(stepSize));
    return product / 1000000.0;
}

std::int32_t qvrCommDev_t::axisMmToSteps(std::int32_t axis, double mm)
{
    if (axis < 0 || axis > 4)
        return 0;
    std::int32_t stepSize = 0;
    {
        lockGuard_t guard(lock);
        stepSize = parameters[firstStepSizeWord + axis];
    }
    if (stepSize <= 0)
        return 0;
    const double steps = std::trunc(mm * 1000000.0 / stepSize);
    if (std::isnan(steps))
        return 0;
    // A typed length too long for the machine is held at the largest count.
    if (steps >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (steps <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(steps);
}
