#include "technician/pages/layerRows.h"

#include "machine/wstr.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::int32_t averagedLayers = 10;

// Nanometres as millimetres with three decimals, whatever the locale is.
std::wstring millimetres(std::int32_t nanometres)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, nanometres * 1e-6, std::chars_format::fixed, 3);
    return std::wstring(text, result.ptr);
}

}  // namespace

layerRowsPlan_t planLayerRows(int shownRows, std::int32_t lastReceived)
{
    layerRowsPlan_t plan;
    const int newest = std::max<std::int32_t>(lastReceived, 0);
    if (newest < shownRows) {
        plan.clear = true;
        shownRows = 0;
    }
    plan.first = shownRows + 1;
    plan.last = newest;
    return plan;
}

layerRow_t makeLayerRow(std::int32_t layer, const layerRecordSource_t& record)
{
    const layerRecord_t current = record(layer);
    const std::int64_t height = current.height();
    const std::int64_t previous = layer > 1 ? record(layer - 1).height() : 0;

    // Deltas of layers layer down to max(2, layer - 9), in nanometres.
    std::int64_t sum = 0;
    std::int64_t count = 0;
    std::int64_t above = height;
    for (std::int32_t i = layer; i >= 2 && count < averagedLayers; --i) {
        const std::int64_t below = i - 1 == layer - 1 ? previous : record(i - 1).height();
        sum += above - below;
        above = below;
        ++count;
    }

    layerRow_t row;
    row.number = toStr(layer);
    row.height = millimetres(current.height());
    row.delta = toStr((height - previous) / 1000);
    row.average = toStr(count == 0 ? 0 : sum / (count * 1000));
    const int x = layer > 1 ? current.xHome() : 0;
    const int y = layer > 1 ? current.yHome() : 0;
    row.xyHome = wstr_t() << x << L" , " << y;
    return row;
}
