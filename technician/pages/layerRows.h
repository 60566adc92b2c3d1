// The rows of the logs page's layer list, one per received layer of the
// current build: "#", "Height" (mm), "Delta" and "Average" (whole microns)
// and "XY Home". Layer records are read by index, so the same code serves
// the client device and a test's table.
#pragma once
#include "link/layerRecord.h"

#include <cstdint>
#include <functional>
#include <string>

struct layerRow_t {
    std::wstring number;
    std::wstring height;
    std::wstring delta;
    std::wstring average;
    std::wstring xyHome;
};

// What the list does with the records the device now holds.
struct layerRowsPlan_t {
    bool clear = false;  // a new build: the list empties first
    int first = 1;       // layers first..last get rows (none when first > last)
    int last = 0;
};

// shownRows rows are in the list; lastReceived is the index of the last
// record the device received (-1 none). Records 1..lastReceived all exist,
// so that is the newest layer; fewer than the list shows means a new build.
layerRowsPlan_t planLayerRows(int shownRows, std::int32_t lastReceived);

using layerRecordSource_t = std::function<layerRecord_t(std::int32_t index)>;
// The row of layer (1 or more) from its record and the ones before it: for
// layer 1 the previous height and the home values count as 0; the average
// covers the deltas of up to the last ten layers, down to layer 2.
layerRow_t makeLayerRow(std::int32_t layer, const layerRecordSource_t& record);
