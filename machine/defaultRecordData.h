// What the built-in default record holds beyond the parameters themselves:
// the default and factory tool tables and the default glue profiles. A fresh
// device (and the machines-server stand-in's printers) start from these.
//
// Tools: 0 the cutting knife, 4 to 7 the glue applicators, 9 the trim knife;
// tool 1 is an empty record and tools 2, 3, 8, 10 and 11 hold 0xCD in every
// byte (never written, as on a new machine).
//
// Glue: 21 profiles with the keys 90, 100, ... 280 mm and 292 mm. The
// profile of k mm has (k - 80) / 20 + 2 drops: (0, 1190000) first, then one
// every 20 mm. Inner drops carry 507000; the last drop carries an amount for
// the stretch it covers up to the layer end, 238000 for 60 mm plus 7900 per
// further millimetre, rounded down to the micron steps the compact form keeps
// (70 mm: 317000, 72 mm: 332000).
#pragma once
#include <array>
#include <cstdint>

namespace defaultRecordData {

struct toolRecord_t {
    bool unused; // all ten bytes 0xCD
    int location;
    bool active;
    bool sensorUsed;
    int diameter; // tenths of a millimetre
    int speed;
    int dzPenUpDown;  // microns
    int dzTableUp;    // microns
    int refillTime;   // seconds
    int refillLength; // decimetres
};

inline constexpr toolRecord_t unusedTool{true, 0, false, false, 0, 0, 0, 0, 0, 0};
inline constexpr toolRecord_t emptyTool{false, 0, false, false, 0, 0, 0, 0, 0, 0};

inline constexpr std::array<toolRecord_t, 12> tools{{
    {false, 0, true, false, 0, 116, 0, 0, 0, 0},          // 0 cutting knife
    emptyTool,                                            // 1
    unusedTool,                                           // 2
    unusedTool,                                           // 3
    {false, 1, true, true, 10, 116, 2000, -1000, 2, 20},  // 4 AG mini (1mm)
    {false, 2, true, true, 30, 116, 2000, -1000, 2, 20},  // 5 AG midi (3mm)
    {false, 3, true, true, 60, 116, 2000, -1200, 3, 25},  // 6 AG maxi (6mm)
    {false, 4, true, false, 60, 116, 2000, -1200, 3, 25}, // 7 AG maxi 2 (6mm)
    unusedTool,                                           // 8
    {false, 5, true, false, 0, 12, 1500, -500, 0, 0},     // 9 trim knife
    unusedTool,                                           // 10
    unusedTool,                                           // 11
}};

inline constexpr std::array<toolRecord_t, 12> factoryTools{{
    {false, 0, true, false, 0, 116, 0, 0, 0, 0},
    emptyTool,
    unusedTool,
    unusedTool,
    {false, 1, true, true, 10, 116, 1800, -900, 2, 20},
    {false, 2, true, true, 30, 116, 1800, -900, 2, 20},
    {false, 3, true, true, 60, 116, 1800, -1100, 3, 25},
    {false, 4, true, false, 60, 116, 1800, -1100, 3, 25},
    unusedTool,
    {false, 5, true, false, 0, 12, 1500, -400, 0, 0},
    unusedTool,
    unusedTool,
}};

inline constexpr int glueProfileCount = 21;
inline constexpr std::int32_t firstDropAmount = 1190000;
inline constexpr std::int32_t innerDropAmount = 507000;

// Key of profile j in millimetres.
constexpr int glueKeyMm(int j) {
    return j < 20 ? 90 + 10 * j : 292;
}
constexpr int glueDropCount(int keyMm) {
    return (keyMm - 80) / 20 + 2;
}
constexpr std::int32_t lastDropAmount(int stretchMm) {
    return (238000 + (stretchMm - 60) * 7900) / 1000 * 1000;
}
// Drop d (0-based) of a profile: position in nanometres and amount.
constexpr std::int32_t glueDropPosition(int d) {
    return d * 20000000;
}
constexpr std::int32_t glueDropAmount(int keyMm, int d) {
    const int n = glueDropCount(keyMm);
    if (d == 0)
        return firstDropAmount;
    if (d < n - 1)
        return innerDropAmount;
    return lastDropAmount(keyMm - 20 * (n - 1));
}

} // namespace defaultRecordData
