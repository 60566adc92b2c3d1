#include "technician/pages/buildStatistics.h"

#include "machine/wstr.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace {

// A number with a fixed count of decimals, rounded as printf rounds, and
// with a point whatever the locale.
std::wstring fixed(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::wstring(buffer, result.ptr);
}

buildStatistics_t::lampState_e judge(bool good)
{
    return good ? buildStatistics_t::good_e : buildStatistics_t::bad_e;
}

}  // namespace

buildStatistics_t buildStatistics_t::compute(const std::vector<layerRecord_t>& layers, int machineLayers,
                                             int embeddedVersion, std::int32_t thickness)
{
    buildStatistics_t result;
    result.lamps.fill(neutral_e);
    const int n = static_cast<int>(layers.size());
    if (n < 1)
        return result;
    result.layersInCalculation = wstr_t() << n << L" out of " << machineLayers;

    // Against the previous layer: home jumps and roller-teeth changes. A
    // count of 255 is a failed reading and 0 no reading at all; neither
    // makes a pair, but a 0 is a layer without pulses whatever came before.
    int maxX = 0;
    int maxY = 0;
    long long teethSum = 0;
    int teethPairs = 0;
    int zeroPulseLayers = 0;
    int maxPump = 0;
    for (int i = 1; i < n; ++i) {
        const layerRecord_t& now = layers[static_cast<std::size_t>(i)];
        const layerRecord_t& before = layers[static_cast<std::size_t>(i - 1)];
        maxX = std::max(maxX, std::abs(now.xHome() - before.xHome()));
        maxY = std::max(maxY, std::abs(now.yHome() - before.yHome()));
        const int teeth = now.rollerTeethPulses();
        const int previous = before.rollerTeethPulses();
        if (teeth != 0 && previous != 0 && teeth != 255 && previous != 255) {
            teethSum += std::abs(teeth - previous);
            ++teethPairs;
        }
        if (teeth == 0)
            ++zeroPulseLayers;
        // The pump settles during the first two layers; its mistakes count
        // from the third.
        if (i >= 2)
            maxPump = std::max(maxPump, std::abs(static_cast<int>(now.pumpError())));
    }

    int thicknessErrorLayers = 0;
    long long bouncingSum = 0;
    int maxBouncing = 0;
    long long feedingRetries = 0;
    long long trimmingRetries = 0;
    long long toolRetries = 0;
    int toolRetryLayers = 0;
    long long stuckAtStart = 0;
    long long searchFailures = 0;
    for (const layerRecord_t& layer : layers) {
        if (layer.thicknessError() > 1)
            ++thicknessErrorLayers;
        bouncingSum += layer.sensorBouncing();
        maxBouncing = std::max(maxBouncing, static_cast<int>(layer.sensorBouncing()));
        if (layer.feedingTries() > 1)
            feedingRetries += layer.feedingTries() - 1;
        if (layer.trimmingTries() > 1)
            trimmingRetries += layer.trimmingTries() - 1;
        toolRetries += layer.toolRetries();
        if (layer.toolRetries() != 0)
            ++toolRetryLayers;
        stuckAtStart += layer.sensorStuckAtStart();
        searchFailures += layer.accurateSearchFailures();
    }

    const double teethAverage = teethPairs > 0 ? static_cast<double>(teethSum) / teethPairs : 0.0;
    const double bouncingAverage = static_cast<double>(bouncingSum) / n;
    result.xyHomeDifferences = wstr_t() << L"X: " << maxX << L", Y: " << maxY << L" (steps)";
    result.rollerTeeth = wstr_t() << fixed(teethAverage, 1) << L" (" << zeroPulseLayers << L" layers with 0 pulses)";
    result.feedingRetries = toStr(feedingRetries);
    result.trimmingRetries = toStr(trimmingRetries);
    result.searchFailures = toStr(searchFailures);
    result.thicknessErrors = toStr(thicknessErrorLayers);
    result.stuckAtStart = toStr(stuckAtStart);
    result.bouncing = wstr_t() << fixed(bouncingAverage, 1) << L" (max bouncing: " << maxBouncing << L")";
    if (embeddedVersion >= toolAndPumpVersion) {
        result.toolRetries = wstr_t() << toolRetries << L" (" << toolRetryLayers << L" layers with retries)";
        result.pumpMistake = fixed(maxPump * 0.001, 2);
    }

    // Heights in 64 bits: a difference of two 32-bit heights may not fit 32.
    const std::int64_t first = layers.front().height();
    const std::int64_t last = layers.back().height();
    const std::int64_t built = last - first;
    const double average = n == 1 ? static_cast<double>(first) * 0.001
                                  : static_cast<double>(built / (n - 1)) * 0.001;
    if (n <= 10) {
        result.averageThickness = fixed(average, 1);
    } else {
        const std::int64_t lastTen = last - layers[static_cast<std::size_t>(n - 11)].height();
        result.averageThickness = wstr_t() << fixed(average, 1) << L" (" << fixed(static_cast<double>(lastTen) * 0.0001, 1)
                                           << L" in last 10 layers)";
    }
    const std::int64_t expected = static_cast<std::int64_t>(n - 1) * thickness;
    const std::int64_t deviation = built > expected ? built - expected : expected - built;
    result.modelHeight = wstr_t() << fixed(static_cast<double>(built) * 1e-6, 2) << L" (deviation: "
                                  << fixed(static_cast<double>(deviation) * 1e-6, 2) << L")";

    const auto averageNm = static_cast<std::int64_t>(average * 1000);
    const bool thicknessGood = std::llabs(thickness - averageNm) <= 2500;
    result.lamps[modelHeightLamp] = judge(thicknessGood);
    result.lamps[thicknessLamp] = judge(thicknessGood);
    result.lamps[feedingLamp] = judge(feedingRetries <= n / 20);
    result.lamps[rollerTeethLamp] = judge(!(teethAverage > 2.5 && n >= 5) && zeroPulseLayers <= n / 10);
    result.lamps[trimmingLamp] = judge(trimmingRetries <= n / 20);
    result.lamps[xyHomeLamp] = judge(maxX <= 4 && maxY <= 4);
    result.lamps[toolRetriesLamp] = judge(toolRetries == 0);
    result.lamps[pumpLamp] = judge(maxPump <= 1000);
    result.lamps[bouncingLamp] = judge(bouncingAverage <= 5.0);
    result.lamps[stuckAtStartLamp] = judge(stuckAtStart <= n / 20);
    result.lamps[thicknessErrorLamp] = judge(thicknessErrorLayers <= n / 20);
    result.lamps[searchFailuresLamp] = judge(searchFailures <= n / 10);
    return result;
}
