// The build queue and the builds: a queued model starts when the machine is
// ready (state 7, table empty, no error, nothing else running), builds layer
// by layer on the printer's clock (feed, delay, iron, draw, trim), leaves a
// 44-byte record per layer, and ends in state 4 with its model on the table
// until the model is removed.
#include "standins/wendaro/simPrinter.h"

#include "machine/textUtils.h"
#include "machine/wstr.h"

#include <algorithm>
#include <cmath>

namespace {

std::wstring millimetres(std::int64_t nm)
{
    const std::int64_t whole = nm / 1000000;
    std::int64_t fraction = (nm < 0 ? -nm : nm) % 1000000 / 1000;
    std::wstring text = toStr(fraction);
    while (text.size() < 3)
        text = L"0" + text;
    return (nm < 0 && whole == 0 ? L"-" : L"") + toStr(whole) + L"." + text;
}

}  // namespace

// ---- Queue ---------------------------------------------------------------

std::optional<std::int32_t> simPrinter_t::queueModel(const fileSendParams_t& request)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::optional<simModelFile_t> model = simModelFile_t::read(request.path);
    if (!model) {
        noteLocked("model file cannot be read: " + wstrToStr(request.path));
        return std::nullopt;
    }
    build_t build;
    build.model = std::move(*model);
    build.request = std::make_unique<fileSendParams_t>(request);
    build.fromQueue = true;
    build.user = request.displayName;
    waiting_.push_back(std::move(build));
    const bool current = build_ && build_->fromQueue && (build_->loading || build_->running);
    const auto index = static_cast<std::int32_t>(waiting_.size()) - (current ? 0 : 1);
    dailyLocked(wstr_t() << L"Model queued: " << strToWstr(waiting_.back().model.name) << L" ("
                         << waiting_.back().model.layers << L" layers) from " << request.path);
    queueChangedLocked();
    settleLocked();
    return index;
}

std::optional<std::int32_t> simPrinter_t::queueModelFile(const std::wstring& path)
{
    return queueModel(fileSendParams_t(path, 2, 0, L"", 1, 1999, 0, 0, L""));
}

std::vector<fileSendParams_t> simPrinter_t::queueList() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<fileSendParams_t> list;
    if (build_ && build_->fromQueue && (build_->loading || build_->running))
        list.push_back(requestOf(*build_));
    for (const build_t& build : waiting_)
        list.push_back(requestOf(build));
    return list;
}

fileSendParams_t simPrinter_t::requestOf(const build_t& build)
{
    return build.request ? *build.request : fileSendParams_t();
}

std::uint32_t simPrinter_t::queueChangeCount() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return queueChanges_;
}

std::int32_t simPrinter_t::listIndexToWaitingLocked(std::int32_t index) const
{
    const bool current = build_ && build_->fromQueue && (build_->loading || build_->running);
    return index - (current ? 1 : 0);
}

bool simPrinter_t::removeFromQueue(std::int32_t index)
{
    std::lock_guard<std::mutex> guard(mutex_);
    const std::int32_t w = listIndexToWaitingLocked(index);
    if (w < 0 || w >= static_cast<std::int32_t>(waiting_.size()))
        return false;
    waiting_.erase(waiting_.begin() + w);
    queueChangedLocked();
    return true;
}

bool simPrinter_t::moveInQueue(std::int32_t from, std::int32_t to)
{
    std::lock_guard<std::mutex> guard(mutex_);
    const std::int32_t a = listIndexToWaitingLocked(from);
    const auto size = static_cast<std::int32_t>(waiting_.size());
    if (a < 0 || a >= size)
        return false;
    const std::int32_t b = std::clamp(listIndexToWaitingLocked(to), 0, size - 1);
    build_t moving = std::move(waiting_[static_cast<std::size_t>(a)]);
    waiting_.erase(waiting_.begin() + a);
    waiting_.insert(waiting_.begin() + b, std::move(moving));
    queueChangedLocked();
    return true;
}

void simPrinter_t::clearQueue()
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (waiting_.empty())
        return;
    waiting_.clear();
    queueChangedLocked();
}

void simPrinter_t::setQueuePaused(bool paused)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (queuePaused_ == paused)
        return;
    queuePaused_ = paused;
    queueChangedLocked();
    settleLocked();
}

bool simPrinter_t::isQueuePaused() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return queuePaused_;
}

bool simPrinter_t::cancelBuild(std::int32_t index)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (index > 0) {
        lock.unlock();
        return removeFromQueue(index);
    }
    if (!buildOpenLocked() && !(build_ && build_->loading))
        return false;
    endBuildLocked(false);
    settleLocked();
    return true;
}

void simPrinter_t::queueChangedLocked()
{
    ++queueChanges_;
    eventLocked(simEvent_t::kind_e::queueChanged_e);
}

// ---- Builds ------------------------------------------------------------------

void simPrinter_t::tryStartBuildLocked()
{
    if (queuePaused_ || waiting_.empty() || state_ != 7 || modelOnTable_ || error_ != 0 || !actions_.empty() ||
        headRunning_ || (build_ && build_->loading))
        return;
    build_t next = std::move(waiting_.front());
    waiting_.pop_front();
    startBuildLocked(std::move(next));
}

void simPrinter_t::startBuildLocked(build_t build)
{
    build.loading = true;
    build.loadingEndsAt = now_ + config_.loadingMs;
    build.running = false;
    build_ = std::move(build);
    const simModelFile_t& model = build_->model;

    modelInfo_ = qvrHostModelInfo_t();
    modelInfo_.values[0] = model.layers;
    modelInfo_.values[1] = model.thickness;
    modelInfo_.values[2] = static_cast<std::int32_t>(std::min<std::int64_t>(model.length, 0x7FFFFFFF));
    modelInfo_.values[3] = static_cast<std::int32_t>(std::min<std::int64_t>(model.height, 0x7FFFFFFF));
    modelInfo_.words[0] = 1;
    modelInfo_.words[1] = static_cast<std::uint16_t>(model.layers);
    modelInfo_.words[2] = 1;
    modelInfo_.setModelName(model.name);

    fileInfo_ = fileInfo_t();
    fileInfo_.values[0] = 0;
    fileInfo_.values[1] = model.layers;
    fileInfo_.values[2] = 0;
    fileInfo_.values[3] = static_cast<std::int32_t>(std::min<std::int64_t>(model.fileSize, 0x7FFFFFFF));
    fileInfo_.values[4] = 0;
    fileInfo_.values[fileInfo_t::presentIndex] = 1;
    noteLocked(simTraceNote_t() << "build loading: " << model.name);
    eventLocked(simEvent_t::kind_e::fileInfoChanged_e);
    if (build_->fromQueue)
        queueChangedLocked();
    if (config_.loadingMs == 0)
        beginBuildingLocked();
}

void simPrinter_t::beginBuildingLocked()
{
    build_t& build = *build_;
    build.loading = false;
    build.running = true;
    build.layersDone = 0;
    build.phase = 0;
    build.phaseElapsed = 0;
    build.elapsedMs = 0;
    build.lastThickness = build.model.thickness;
    build.layerLength = static_cast<std::int32_t>(std::min<std::int64_t>(mediaLengthForModel(build.model.length),
                                                                         0x7FFFFFFF));
    layerLength_ = build.layerLength;
    modelOnTable_ = true;
    modelEnded_ = false;
    if (nextBuildOptions_[5] == 1)
        noteLocked("calibration build");
    nextBuildOptions_.fill(0);

    // Record 0 is the table before the first layer.
    records_.clear();
    simLayerRecord_t baseline;
    baseline.setHeight(static_cast<std::int32_t>(std::min<std::int64_t>(stack_, 0x7FFFFFFF)));
    records_.push_back(baseline);

    const std::wstring name = strToWstr(build.model.name);
    build.modelLogPath.clear();
    if (logging()) {
        build.modelLogPath = logs_.openModelLog(
            wallTimeLocked(), name,
            wstr_t() << L"Model: " << name << L", file: " << build.model.path << L", user: " << build.user
                     << L", layers: " << build.model.layers << L", thickness: " << build.model.thickness << L" nm");
        dailyLocked(wstr_t() << L"Build started: " << name << L", " << build.model.layers << L" layers");
        briefLocked(wstr_t() << L"Build started: " << name);
    }
    eventLocked(simEvent_t::kind_e::modelStarted_e, name);
    eventLocked(simEvent_t::kind_e::timeEstimate_e);
    setStateLocked(1);
}

std::uint64_t simPrinter_t::phaseLengthLocked() const
{
    const std::uint64_t part = config_.layerMs / 5;
    return build_ && build_->phase == 4 ? part + config_.layerMs % 5 : part;
}

void simPrinter_t::runBuildPhaseLocked()
{
    build_t& build = *build_;
    build.phaseElapsed -= std::min(build.phaseElapsed, phaseLengthLocked());
    switch (build.phase) {
    case 0:  // feed
        // A thermometer that reads nothing stops the build before the sheet.
        if (config_.autoErrors && temperature_ == 255) {
            setErrorLocked(50);
            build.phaseElapsed = 0;
            return;
        }
        layerLength_ = build.layerLength;
        feedLocked();
        if (error_ != 0) {
            build.phaseElapsed = 0;
            return;  // the error paused the build; the feed is tried again
        }
        build.phase = 1;
        break;
    case 1:  // delay before ironing
        build.phase = 2;
        break;
    case 2:  // iron
        ironLocked();
        build.phase = 3;
        break;
    case 3:  // draw with the tools
        build.phase = 4;
        break;
    default:  // trim
        trimLocked();
        build.phase = 0;
        finishLayerLocked();
        break;
    }
}

void simPrinter_t::finishLayerLocked()
{
    build_t& build = *build_;
    ++build.layersDone;
    const std::int32_t t0 = build.model.thickness;
    const std::int32_t t = build.lastThickness;
    const std::int64_t tolerance = static_cast<std::int64_t>(t0) * std::max(wordLocked(25), 0) / 100;

    simLayerRecord_t record;
    record.setHeight(static_cast<std::int32_t>(std::min<std::int64_t>(stack_, 0x7FFFFFFF)));
    record.bytes[simLayerRecord_t::xHomeOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(random_.between(-2, 2)));
    record.bytes[simLayerRecord_t::yHomeOffset] = static_cast<std::uint8_t>(static_cast<std::int8_t>(random_.between(-2, 2)));
    record.bytes[simLayerRecord_t::bouncingOffset] = static_cast<std::uint8_t>(random_.between(0, 3));
    record.bytes[simLayerRecord_t::thicknessErrorOffset] = std::llabs(static_cast<long long>(t) - t0) > tolerance ? 2 : 0;
    record.bytes[simLayerRecord_t::rollerTeethOffset] = static_cast<std::uint8_t>(random_.between(22, 26));
    record.bytes[simLayerRecord_t::feedingTriesOffset] = 1;
    record.bytes[simLayerRecord_t::trimmingTriesOffset] = 1;
    record.setPumpError(static_cast<std::int16_t>(random_.between(-50, 50)));
    addLayerTroubleLocked(record);
    records_.push_back(record);

    fileInfo_.values[2] = build.layersDone;
    fileInfo_.values[4] = build.model.layers > 0 ? build.layersDone * 100 / build.model.layers : 100;

    if (logging()) {
        const std::wstring height = millimetres(stack_);
        dailyLocked(wstr_t() << L"Layer " << build.layersDone << L" of " << build.model.layers << L" done, height "
                             << height << L" mm");
        logs_.appendModel(build.modelLogPath, wstr_t() << L"Layer " << build.layersDone << L": height " << height
                                                       << L" mm, thickness " << (t / 1000) << L" um, XY home "
                                                       << record.xHome() << L" , " << record.yHome());
    }
    if (build.layersDone % 10 == 0)
        eventLocked(simEvent_t::kind_e::timeEstimate_e);
    if (build.layersDone >= build.model.layers)
        endBuildLocked(true);
    else if (build.layersDone == config_.abortBuildAfterLayers)
        endBuildLocked(false);
}

void simPrinter_t::endBuildLocked(bool completed)
{
    build_t& build = *build_;
    const bool wasLoading = build.loading;
    build.loading = false;
    build.running = false;
    fileInfo_ = fileInfo_t();
    const wchar_t* const outcome = completed ? L"completed" : L"cancelled";
    noteLocked(simTraceNote_t() << (completed ? "build completed: " : "build cancelled: ") << build.model.name);
    if (!wasLoading)
        modelEnded_ = true;
    if (!wasLoading && logging()) {
        const std::wstring name = strToWstr(build.model.name);
        logs_.appendModel(build.modelLogPath, wstr_t() << L"Model " << outcome << L" after " << build.layersDone
                                                       << L" layers, " << (build.elapsedMs / 1000) << L" s");
        dailyLocked(wstr_t() << L"Build " << outcome << L": " << name << L", " << build.layersDone << L" of "
                             << build.model.layers << L" layers");
        briefLocked(wstr_t() << L"Build " << outcome << L": " << name);
    }
    eventLocked(simEvent_t::kind_e::modelEnded_e, outcome);
    eventLocked(simEvent_t::kind_e::fileInfoChanged_e);
    if (build.fromQueue)
        queueChangedLocked();
    if (wasLoading)
        return;
    switch (state_) {
    case 1:
    case 2:
    case 8:
    case 9:
    case 10:
        setStateLocked(4);
        break;
    case 5:
        stateBefore5_ = 4;
        break;
    default:
        break;
    }
}
