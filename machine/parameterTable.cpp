// The machine's parameters: the 127 descriptors of words 0 to 127 (word 53
// has none), the descriptor table they register in, its lookups and the
// built-in default record.
//
// The descriptor objects live here, beside the lookups that every user of
// the table calls, so that a static link always keeps them. The default
// record is constant-initialised, so any descriptor, in any translation unit
// and in any order of dynamic initialisation, reads its default from it.
//
// The descriptor texts are shown to the technician, written into every
// parameters file and, whole, used to recognise a parameter when a file is
// read back: every character counts, the misspellings and the run of spaces
// of "# madregot      - no glue" included.
#include "machine/defaultRecordData.h"
#include "machine/machineParam.h"

#include <atomic>
#include <cstddef>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

struct parameterDefinition_t {
    int index;
    const wchar_t* text;
    std::int32_t defaultValue;
    std::int32_t factoryValue; // word 384 + index of the default record
};

// One text per line, as it stands.
// clang-format off
constexpr parameterDefinition_t definitions[] = {
    {0, L"Machine ID", 9999, 0},
    {1, L"Lines Starting Speed;Starting speed [V0] for the lines motor movement (negative value);speed", -4095, -4095},
    {2, L"Feeder Encoder Step-Size;Interval between feeder-encoder ticks when feeder is moving;nano,feeder", 4420000, 4420000},
    {3, L"PVC length tolerance;Tolerance for accepting roller-teeth media-amount check (0% will always accept sensor);percent", 5, 5},
    {4, L"Feeder Move Speed;Speed for feeder when doing normal move operations;speed", -2000, -2000},
    {5, L"Feeder Upper to safe distance;Distance which media is feeded after reaching media upper sensor;nano,feeder", 4000000, 4000000},
    {6, L"Feed upto trim;Feed more than model length, from upper media sensor to trim location;nano,feeder", 142000000, 142000000},
    {7, L"Feeder Media-Insert Speed;Speed to grab the media when media lower sensor turns on;speed", -4000, -4000},
    {8, L"Wait After Feeding;Miliseconds to wait after feeding media with in power-off for the feeder motor;ms", 1000, 1000},
    {9, L"Feeder Go-Forward;After feeder homing process, the media will be feeded upto this point;nano,feeder", 11000000, 11000000},
    {10, L"FLASH Wait-States;# of wait-states for the FLASH device (can be between 0-13)", 3, 3},
    {11, L"# Pulses For Roll Average;Minimal number of roller teeth sensor pulses for doing roller-length calculations", 24, 50},
    {12, L"Cut-Knife Trim Overlap Left;Overlapping length of the trimming inside the left cutting area;nano,x", 500000, 500000},
    {13, L"Max Y-Sensor Off Pos;Max. Y position when Y-home sensor is turned off while ironing;nano,y", 1000000, 1000000},
    {14, L"Feeder-Encoder Tolerance;Max. allowed mistake in feeder-encoder allowed;nano,feeder", 15000000, 15000000},
    {15, L"Wait Before Feeding;Miliseconds to wait before feeding media when media-lower sensor turns on;ms", 600, 600},
    {16, L"Z Move Speed;Speed for Z motor in normal moves (not height check);speed", 116, 17},
    {17, L"Z Safe Pos;Safe Position for Z table (pen-up with no tool or after check height or out-of-brick);nano,z", -2500000, -2300000},
    {18, L"Max Height-Check Lift;Max. allowed lift size of Z motor when searching for height sensor in model;nano,z", 3000000, 3000000},
    {19, L"Max Height-Check Mistake;Max height-check mistake allowed before throwing error;nano,z", 140000, 140000},
    {20, L"Slow Z Move Speed;Speed of Z when going down from check height;speed", 15, 15},
    {21, L"Pump Clicks Delay;Delay between the pump forward/backward movements in the clicks procedure;ms", 200, 200},
    {22, L"Pump Clicks Move Size;Length of the pump forward/backward movements in the clicks procedure;nano,pump", 80000, 400000},
    {23, L"Z Abs Zero;The height of the table when there is a magnet without model;nano,z", 145900000, 145900000},
    {24, L"Cut-Knife Trim Overlap Right;Overlapping length of the trimming inside the right cutting area;nano,x", 0, 0},
    {25, L"Thickness-Check Tolerance;Max. mistake in height-check from the slicer-given thickness;percent", 30, 30},
    {26, L"Z Take Tool Pos;Safe Z Position for moving with tools in/out of brick;nano,z", -4000000, -2500000},
    {27, L"Height sensor antibounce;Distance to go when height-sensor is on to make sure it's really on in height check;nano,z", 62500, 62500},
    {28, L"Circle Acceleration;The acceleration allowed when drawing cricles (in mm/sec^2)", 100, 100},
    {29, L"Circle Starting-Speed;The Maximum starting velocity (V0) for big circles (negative value);speed", -6500, -6500},
    {30, L"Clicks Layers Interval;Interval of layers with pump clicks procedure", 0, 0},
    {31, L"DZ before Iron End;Amount to lift Z table before the end of the ironing;nano,z", 0, 12},
    {32, L"XY Move Speed;Speed for XY normal pen-up moves;speed", 116, 16},
    {33, L"Y Limit Offset;Y Addition to the model-length limit pen-down protection;nano,y", 30000000, 30000000},
    {34, L"Cut-Knife Trim Height;Height of the cut-knife trimming, above trim Y;nano,y", 0, 0},
    {35, L"Y Height check position;The position on Y axis that the check height is performed;nano,iron", 93000000, 93000000},
    {36, L"End Model Pos X;Position for X on end-model state;nano,x", 255000000, 255000000},
    {37, L"End Model Pos Y;Position for Y on end-model state;nano,y", 388000000, 388000000},
    {38, L"End Model Speed;Speed for moving to end-model position;speed", 7, 7},
    {39, L"DZ Trim Of 1st Layer;Table-Up DZ of trim knife for first ironed layer;nano,z", 3800000, 2800000},
    {40, L"First Tool X;;nano,x", 100000000, 3862280},
    {41, L"First Tool Y;;nano,y", 300000000, 384442440},
    {42, L"DIRON before Iron End;The distance from the end of the Ironing in which the table will be lifted/lowered;nano,iron", 0, 20000000},
    {43, L"Z Base Delta;Delta value added to the all Z heights except ironing;nano,z", 1000000, 0},
    {44, L"DFEED before Iron End;Amount to feed before the end of the ironing;nano,feeder", 0, 30000000},
    {45, L"Pump Homing Delay;Delay between pumping end and pump home movements;ms", 1500, 1500},
    {46, L"Media Finished Length;Min. allowed PVC length for machine operation.When reached, machine will pause;mm", 3000, 2000},
    {47, L"XY Accessories speed;Speed for the take-tool & hooking operations;speed", 12, 12},
    {48, L"Drop Size on Glue Trap;Size of the drop on the glue trap;nano,pump", 1500000, 1500000},
    {49, L"Trim X Min;;nano,x", 3000000, 3000000},
    {50, L"Trim X Max;;nano,x", 224000000, 224000000},
    {51, L"Trim Y initial;;nano,y", 1500000, 1500000},
    {52, L"Pump Start-Pos Delta;Max. delta per layer of pump start position;nano,pump", 1000000, 1000000},
    {54, L"Lift Model Max Time;Max. time after lifting model, before machine undos the lifting and restores to model completed state;ms", 600000, 600000},
    {55, L"Feed Before Trim;Amount to feed between check-height and trim (except for the two first layers);nano,feeder", 250000, 0},
    {56, L"Tools Offset X;X Offset between built-in cutting knife and AG tools when drawing;nano,x", 0, 0},
    {57, L"Tools Offset Y;Y Offset between built-in cutting knife and AG tools when drawing;nano,y", -47000000, -47000000},
    {58, L"Model Offset X;X offset for model drawings from physical home-based position;nano,x", 21000000, 21000000},
    {59, L"Model Offset Y;Y offset for model drawings from physical home-based position;nano,x", 40000000, 45000000},
    {60, L"Check Height Jump;Z move interval between sensors checks in the coarse height check phase;nano,z", 1250, 10000},
    {61, L"Z Lift Speed;Speed to move with the Z motor when lifting model;speed", -2500, 20000},
    {62, L"1st layer Iron Wait Time;Ironing wait on wait position for the first layer;ms", 400, 400},
    {63, L"# of feeding retries;# of feeding retries after encoder doesn't generate enough ticks", 10, 10},
    {64, L"X Step Size;;nano", 21892, 21892},
    {65, L"Y Step Size;;nano", 21892, 21892},
    {66, L"Z Step Size;;nano", 1250, 1250},
    {67, L"Pump Step Size;;nano", 2500, 2500},
    {68, L"Feeder Step Size;;nano", 7860, 7860},
    {69, L"Pump Forward Speed;;speed", -800, -800},
    {70, L"Pump Backward Speed;;speed", -8000, -8000},
    {71, L"Layer Delay 1st Layer;Delay time in ms after first layer;ms", 8000, 8000},
    {72, L"Sensors Bitwise-Xor;Sensor bits that are active low;hex", 531039999, 531039999},
    {73, L"Layer Delay;Delay time in milliseconds between layers (before ironing);ms", 10000, 10000},
    {74, L"Max X position;;nano,x", 260000000, 260000000},
    {75, L"Max Y position;;nano,y", 392000000, 392000000},
    {76, L"Max Z position;;nano,z", 153000000, 153000000},
    {77, L"Max pump position;;nano,pump", 13800000, 14000000},
    {78, L"Max feeder position;;nano,feeder", 500000000, 500000000},
    {79, L"Min Y position & Hook Y;Min Y Position & Final location of Y motor when hooking to the iron;nano,y", -32500000, -32500000},
    {80, L"Pump Home Interval;Do pump home after building this amount of layers", 50, 50},
    {81, L"Go more with knife;Go more with the knife before doing pen-up in the last cut direction;nano,x", 400000, 400000},
    {82, L"Pump Fast Homing Size;Size of the fast pump backward move when returning pump to home position;nano,pump", 0, 0},
    {83, L"Delay before init;;ms", 5000, 5000},
    {84, L"IDLE time before sleep;IDLE time (in miliseconds) until machine goes to sleep mode;ms", 3600000, 3600000},
    {85, L"Hook X Enter Pos;Position to be with X motor when Y is moving to Hook-Y-Pos(Min-Y-Pos);nano,x", 136900000, 136900000},
    {86, L"Hook X Delta Move;Delta move with X from Hook-X-Enter-Pos(should be negative to in order to move left);nano,x", -6500000, -6500000},
    {87, L"Machine Required Temperature;;degree", 35, 35},
    {88, L"Stand-By Temperature;;degree", 25, 25},
    {89, L"DZ Iron Max Change;Maximum change in DZ Sensor-To-Iron in the auto-configuration algorithm;nano,z", 0, 0},
    {90, L"1st Glue-pos position;Position of iron in the first glue pos of the first layer;nano,iron", 15000000, 15000000},
    {91, L"1st Glue-pos amount;Amount (pump-delta, mm^3) of first glue pos of the first layer;mm^3", 1825396, 1190476},
    {92, L"# of More-Height-Checks;# of height-checks in the many-height-check-layers", 4, 4},
    {93, L"DY Hook Tolerance;DY move to compensate over the hook tolerance, when going to nozzle0 or re-check-heights;nano,y", 0, 0},
    {94, L"V4 (Iron Slow Speed);Speed of IRON from wait-pos to slow-pos;speed", 15, 12},
    {95, L"Iron Slow Position;From this position until wait-pos, the iron will move in slow speed;nano,y", 4000000, 4000000},
    {96, L"Y pos when Nozzle=0;The position of Y when nozzle is at trim pos - offset for glue drops positions;nano,iron", 82000000, 81900000},
    {97, L"Iron Wait Position;The position in which iron waits the amount of time specified in wait time untill this position iron will move in iron speed(measured from trim);nano,iron", 4000000, 9000000},
    {98, L"# Pump-Home Clicks;Number of pump clicks after doing pump-home", 10, 20},
    {99, L"# Pump-End Clicks;Number of pump clicks before doing pump-home", 0, 0},
    {100, L"Pos of zLift;The position of iron in which Z is lifted up to meet with the diza;nano,iron", 70000000, 70000000},
    {101, L"madregot (delta)- no glue;Extra Ironing without glue this is the delta of a series;nano,iron", -2000000, -2000000},
    {102, L"Draft Layers Feeder Speed;Feeder motor speed in layers without AG;speed", -1500, 0},
    {103, L"V3 (Iron Back Speed);Speed of IRON from end pos to check-height and to home;speed", 15, 13},
    {104, L"Feed Before Trim 1st Layers;Amount to feed between check-height and trim in the first two layers;nano,feeder", -1000000, -1000000},
    {105, L"# longest layers;Number of layers per stairs cycle with the extra length", 0, 0},
    {106, L"Longest layers extra-size;Extra size for the longest layers in the stairs cycle;nano,iron", 0, 0},
    {107, L"# madregot      - no glue;Extra Ironing without glue this is the number of layers per cycle minus 1 of a series", 10, 10},
    {108, L"DZ Iron Layer Change;Max. change of DZ sensor-to-iron per layer;nano,z", 0, 0},
    {109, L"Glue % In 1st Layer;Use only this percent of glue from the glue profile on the first layer;percent", 70, 70},
    {110, L"Circles Max Speed (cut);Maximum speed [Vt] allowed when drawing circles with cutting knife;speed", -2000, -2000},
    {111, L"Iron More Length;Ironing more than model layer;nano,iron", 97000000, 102500000},
    {112, L"Feed more (with glue);How much to feed more media beyond the model length (With glue);nano,feeder", 20000000, 15000000},
    {113, L"V2 (Iron Fast Speed);Speed of IRON from start to wait-pos;speed", 10, 8},
    {114, L"Circles Max Speed (AG);Maximum speed [Vt] allowed when drawing circles with anti-glue;speed", -1000, -1200},
    {115, L"DZ Sensor-To-Iron;DZ (in ironing) up from height sensor;nano,z", -1200000, -2200000},
    {116, L"Drop-Glue-At-End Pos;Position from nozzle=0 for the glue-at-end drop;nano,iron", 0, 0},
    {117, L"Max XY home mistake;Max. mistake allowed in XY home search - Above that value, position will be reset;nano,x", 131460, 131460},
    {118, L"Iron Wait Time;Ironing wait on wait position (milisec);ms", 300, 300},
    {119, L"V1 (Iron End Speed);Speed of IRON from wait pos (or slow pos) to end;speed", -4000, -4000},
    {120, L"Machine Flags;Dorvanel 2 Machine Logic Flags;hex", 43648, 43648},
    {121, L"Lines Final Speed;Final speed [Vt] for the lines motor movement (negative value);speed", -150, -150},
    {122, L"Lines Acceleration;Acceleration for the lines motor movement, in mm/sec^2", 500000, 250000},
    {123, L"Cut-Knife DZ For Unfeed;Amount to lift Z before doing unfeed after cut-knife trim (negative to lower the table);nano,z", -1500000, -1500000},
    {124, L"Cut-Knife Trim Length;Length of the cut-knife trimming part;nano,x", 10000000, 10000000},
    {125, L"Delay Before Cut;Time to wait between ironing and cutting;ms", 8000, 8000},
    {126, L"Cut-Knife Trim First Layer;First layer to do the cut-knife trimming rectange", 3, 3},
    {127, L"Re-Check Height Pause Time;Min. pause time for re-doing height check after the pause;ms", 600000, 600000},
};
// clang-format on
static_assert(std::size(definitions) == 127);

// --- the default record ------------------------------------------------------

constexpr void putByte(parameterMemory_t& record, int byteOffset, std::uint32_t value) {
    const int shift = 8 * (byteOffset % 4);
    auto word = static_cast<std::uint32_t>(record[byteOffset / 4]);
    word = (word & ~(0xFFu << shift)) | ((value & 0xFFu) << shift);
    record[byteOffset / 4] = static_cast<std::int32_t>(word);
}

constexpr void putU16(parameterMemory_t& record, int byteOffset, std::uint32_t value) {
    putByte(record, byteOffset, value);
    putByte(record, byteOffset + 1, value >> 8);
}

constexpr void putTools(parameterMemory_t& record, int byteOffset,
                        const std::array<defaultRecordData::toolRecord_t, 12>& tools) {
    for (int t = 0; t < 12; ++t) {
        const defaultRecordData::toolRecord_t& tool = tools[t];
        const int at = byteOffset + 10 * t;
        if (tool.unused) {
            for (int i = 0; i < 10; ++i)
                putByte(record, at + i, 0xCD);
            continue;
        }
        putByte(record, at,
                static_cast<std::uint32_t>((tool.location & 0x3F) | (tool.sensorUsed ? 0x40 : 0) |
                                           (tool.active ? 0x80 : 0)));
        putByte(record, at + 1, static_cast<std::uint32_t>(tool.diameter));
        putU16(record, at + 2, static_cast<std::uint32_t>(tool.speed));
        putU16(record, at + 4, static_cast<std::uint32_t>(tool.dzPenUpDown));
        putU16(record, at + 6, static_cast<std::uint32_t>(tool.dzTableUp));
        putByte(record, at + 8, static_cast<std::uint32_t>(tool.refillTime));
        putByte(record, at + 9, static_cast<std::uint32_t>(tool.refillLength));
    }
}

// The default glue profiles in the compact form; returns the bytes used.
constexpr int putCompactGlue(parameterMemory_t& record, int byteOffset) {
    using namespace defaultRecordData;
    int at = 4;
    for (int j = 0; j < glueProfileCount; ++j) {
        const int keyMm = glueKeyMm(j);
        const int n = glueDropCount(keyMm);
        putU16(record, byteOffset + at, static_cast<std::uint32_t>(keyMm * 1000000 / 10000));
        putU16(record, byteOffset + at + 2, static_cast<std::uint32_t>(n));
        at += 4;
        for (int d = 0; d < n; ++d) {
            putU16(record, byteOffset + at, static_cast<std::uint32_t>(glueDropPosition(d) / 10000));
            putU16(record, byteOffset + at + 2, static_cast<std::uint32_t>(glueDropAmount(keyMm, d) / 1000));
            at += 4;
        }
    }
    putU16(record, byteOffset, static_cast<std::uint32_t>(at));
    putU16(record, byteOffset + 2, static_cast<std::uint32_t>(glueProfileCount));
    return at;
}

constexpr parameterMemory_t buildDefaultRecord() {
    parameterMemory_t record{};
    for (const parameterDefinition_t& definition : definitions) {
        record[definition.index] = definition.defaultValue;
        record[paramLayout::factoryBlockWord + definition.index] = definition.factoryValue;
    }
    putTools(record, paramLayout::toolTableByte, defaultRecordData::tools);
    putTools(record, paramLayout::factoryToolTableWord * 4, defaultRecordData::factoryTools);
    putCompactGlue(record, paramLayout::glueTableByte);
    putCompactGlue(record, paramLayout::factoryGlueTableWord * 4);
    return record;
}

constexpr int defaultGlueBytes() {
    parameterMemory_t scratch{};
    return putCompactGlue(scratch, 0);
}
static_assert(defaultGlueBytes() == 696, "the default glue table is 696 bytes (words 160-333)");

constinit const parameterMemory_t defaultRecord = buildDefaultRecord();

// --- the descriptor table --------------------------------------------------

// Zero-initialised before any constructor runs. Atomic because descriptors
// that are function-local statics elsewhere register on first use, from any
// thread.
constinit std::atomic<const machineParam_t*> table[paramLayout::words] = {};
constinit std::atomic<int> highestIndex{0};
// Counts registrations, so that the lookup below knows when to rebuild.
constinit std::atomic<unsigned> tableGeneration{0};

// The name (the text up to the first ';') equals the given text.
// Compared character by character, so that a search over the whole table
// stops each text at its first difference.
bool nameEquals(const machineParam_t& param, const std::wstring& name) {
    const wchar_t* text = param.text();
    for (std::size_t i = 0; i < name.size(); ++i)
        if (text[i] == L'\0' || text[i] == L';' || text[i] != name[i])
            return false;
    return text[name.size()] == L'\0' || text[name.size()] == L';';
}

struct builtInDescriptors_t {
    template <std::size_t... I>
    explicit builtInDescriptors_t(std::index_sequence<I...>)
        : items{machineParam_t(4 * definitions[I].index, definitions[I].text)...} {}
    machineParam_t items[std::size(definitions)];
};

} // namespace

void registerParameter(machineParam_t* param) {
    const int index = param->index();
    if (index < 0 || index >= paramLayout::words)
        return;
    table[index].store(param, std::memory_order_release);
    tableGeneration.fetch_add(1, std::memory_order_acq_rel);
    int highest = highestIndex.load(std::memory_order_relaxed);
    while (highest < index && !highestIndex.compare_exchange_weak(highest, index, std::memory_order_acq_rel))
        ;
}

namespace {
const builtInDescriptors_t builtInDescriptors{std::make_index_sequence<std::size(definitions)>{}};
} // namespace

const machineParam_t* parameterAt(int index) {
    if (index < 0 || index >= paramLayout::words)
        return nullptr;
    return table[index].load(std::memory_order_acquire);
}

int highestParameterIndex() {
    return highestIndex.load(std::memory_order_acquire);
}

namespace {

// Names and file texts of the descriptors from index 1 up, each to the
// lowest index that carries it: what a search from index 1 finds first.
// Files are read line by line against the whole table, so each line is one
// look-up instead of a walk over 127 texts.
struct parameterLookup_t {
    unsigned generation = 0;
    std::unordered_map<std::wstring, const machineParam_t*> byName;
    std::unordered_map<std::string, const machineParam_t*> byFileText;
};

std::shared_ptr<const parameterLookup_t> currentLookup() {
    static std::mutex mutex;
    static std::shared_ptr<const parameterLookup_t> cached;
    const std::lock_guard<std::mutex> lock(mutex);
    const unsigned generation = tableGeneration.load(std::memory_order_acquire);
    if (cached && cached->generation == generation)
        return cached;
    auto lookup = std::make_shared<parameterLookup_t>();
    lookup->generation = generation;
    const int highest = highestParameterIndex();
    for (int i = 1; i <= highest; ++i) {
        const machineParam_t* param = parameterAt(i);
        if (param == nullptr)
            continue;
        lookup->byName.emplace(param->name(), param);
        if (!param->fileText().empty())
            lookup->byFileText.emplace(param->fileText(), param);
    }
    cached = std::move(lookup);
    return cached;
}

} // namespace

const machineParam_t* findParameter(int index, const std::wstring& name) {
    const int highest = highestParameterIndex();
    if (index >= 0 && index <= highest) {
        const machineParam_t* param = parameterAt(index);
        if (param != nullptr && nameEquals(*param, name))
            return param;
    }
    const auto lookup = currentLookup();
    const auto found = lookup->byName.find(name);
    return found == lookup->byName.end() ? nullptr : found->second;
}

const machineParam_t* findDefinition(const std::string& line) {
    const auto lookup = currentLookup();
    const auto found = lookup->byFileText.find(line);
    return found == lookup->byFileText.end() ? nullptr : found->second;
}

const parameterMemory_t& getDefaultParameterTable() {
    return defaultRecord;
}

std::int32_t defaultParameterValue(int index) {
    if (index < 0 || index > highestParameterIndex())
        return 0;
    return defaultRecord[index];
}

std::int64_t mediaLengthForModel(std::int64_t length) {
    // "Feed more (with glue)" and "Model Offset Y".
    return length + defaultRecord[112] + defaultRecord[59];
}
