#include "technician/pages/dzCalibrator.h"

#include "machine/messageBox.h"
#include "machine/wstr.h"
#include "platform/winConstants.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

struct correction_t {
    std::int64_t errorAbove;
    std::int32_t step;
};

// Tried in this order; the first row whose threshold the error exceeds wins.
constexpr correction_t corrections[] = {{5000, 20000}, {3000, 5000}, {1000, 2000}};

std::int32_t clampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::int32_t dzCalibrator_t::stepFor(std::int64_t error)
{
    const std::int64_t size = error < 0 ? -error : error;
    for (const correction_t& row : corrections) {
        if (size > row.errorAbove)
            return error < 0 ? -row.step : row.step;
    }
    return 0;
}

void dzCalibrator_t::start()
{
    if (running_)
        return;
    if ((machine_.statusFlags() & buildingFlag) != 0) {
        messageBox(alreadyBuildingText, MB_OK | MB_ICONSTOP);
        return;
    }
    machine_.takeLink();
    if (startValue_ == 0)
        startValue_ = machine_.factoryDz();
    if (!storeDz(startValue_)) {
        messageBox(notConnectedText, MB_OK | MB_ICONSTOP);
        return;
    }
    if (!machine_.buildBlock()) {
        // Nothing was handed over, so no layer will ever come: say why
        // (the system's last error) instead of waiting for them.
        messageBox(L"", MB_OK | MB_ICONSTOP);
        return;
    }
    finished_ = false;
    running_ = true;
}

std::int32_t dzCalibrator_t::averageThickness(std::int32_t layer)
{
    const std::int32_t h = std::min(layer - 1, averagedLayers);
    const std::int64_t rise =
        static_cast<std::int64_t>(machine_.layerHeight(layer)) - machine_.layerHeight(layer - h);
    return clampToInt32(rise / h);
}

bool dzCalibrator_t::onLayer()
{
    if (!running_ || finished_)
        return false;
    const std::uint32_t flags = machine_.statusFlags();
    if ((flags & modelEndedFlag) != 0 || (flags & buildingFlag) == 0) {
        ended_ = true;
        finishWithError(abortedText);
        return false;
    }
    // Several records may arrive before their notifications are handled, and
    // each notification names the same last layer: a layer is judged once,
    // so that one correction is never applied twice before a layer shows it.
    const std::int32_t index = machine_.lastLayerIndex();
    if (index <= layer_ || index >= historySize)
        return false;
    const std::int32_t previous = layer_;
    layer_ = index;
    if (layer_ < firstComputedLayer)
        return false;

    const std::int32_t expected = machine_.modelLayerThickness();
    thickness_ = averageThickness(layer_);
    const std::int32_t dz = machine_.dz();
    // Layers whose records came in the same burst were built with the DZ in
    // force now; they get their entries too, so that the divergence test
    // and the suggested start value never read an entry this run left out.
    for (std::int32_t skipped = std::max(previous + 1, firstComputedLayer); skipped < layer_; ++skipped)
        history_[static_cast<std::size_t>(skipped)] = historyEntry_t{dz, averageThickness(skipped)};
    history_[static_cast<std::size_t>(layer_)] = historyEntry_t{dz, thickness_};

    const std::int32_t step = stepFor(static_cast<std::int64_t>(thickness_) - expected);
    if (step != 0) {
        const std::int64_t corrected = static_cast<std::int64_t>(dz) + step;
        if (corrected < lowestDz || corrected > highestDz) {
            finishWithError(limitsText);
            return true;
        }
        if (!storeDz(static_cast<std::int32_t>(corrected))) {
            // The build runs on without its calibration; stop cancels it
            // on a link that is up again.
            finishWithError(abortedText);
            return true;
        }
        lastCorrectionLayer_ = layer_;
    } else if (layer_ - lastCorrectionLayer_ >= quietLayers) {
        finished_ = true;
        ended_ = true;
        machine_.cancelBuild();
        messageBox(wstr_t() << completedText << L"\n"
                            << newValueText << static_cast<float>(static_cast<float>(dz) * 0.000001f) << L"mm.",
                   MB_OK | MB_ICONINFORMATION);
        stop();
        return true;
    }

    if (layer_ >= divergenceFromLayer) {
        const historyEntry_t now = history_[static_cast<std::size_t>(layer_)];
        const historyEntry_t before = history_[static_cast<std::size_t>(layer_ - quietLayers)];
        const std::int64_t d = static_cast<std::int64_t>(now.dz) - before.dz;
        const bool sameWay = (d > 0 && now.thickness > before.thickness) || (d < 0 && now.thickness < before.thickness);
        if ((d >= divergenceDz || d <= -divergenceDz) && sameWay) {
            finished_ = true;
            ended_ = true;
            machine_.cancelBuild();
            const std::int64_t factory = machine_.factoryDz();
            const std::int64_t suggestion =
                history_[12].dz > history_[6].dz ? factory + suggestionOffset : factory - suggestionOffset;
            startValue_ = suggestion > lowestDz && suggestion < highestDz ? static_cast<std::int32_t>(suggestion) : 0;
            messageBox(divergedText, MB_OK | MB_ICONSTOP);
            stop();
        }
    }
    return true;
}

void dzCalibrator_t::finishWithError(const wchar_t* text)
{
    finished_ = true;
    messageBox(text, MB_OK | MB_ICONSTOP);
    stop();
}

bool dzCalibrator_t::storeDz(std::int32_t value)
{
    if (!machine_.linkHolds())
        return false;
    machine_.setDz(value);
    return true;
}

void dzCalibrator_t::stop()
{
    if (running_ && !finished_) {
        if (messageBox(stopQuestion, MB_YESNO | MB_ICONWARNING) != IDYES)
            return;
        if ((machine_.statusFlags() & buildingFlag) != 0)
            machine_.cancelBuild();
    } else if (finished_ && !ended_ && (machine_.statusFlags() & buildingFlag) != 0) {
        machine_.cancelBuild();
    }
    finished_ = true;
    lastCorrectionLayer_ = 0;
    layer_ = 0;
    thickness_ = 0;
    running_ = false;
    ended_ = false;
}

void dzCalibrator_t::checkAborted()
{
    if (!running_ || finished_ || (machine_.statusFlags() & modelEndedFlag) == 0)
        return;
    ended_ = true;
    finishWithError(abortedText);
}
