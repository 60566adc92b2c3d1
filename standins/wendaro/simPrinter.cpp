// The simulated printer's frame: packets in and replies out, pending replies
// of awaited actions, the clock that runs everything that takes time, the
// scripted faults, events, logs, the front-panel and harness events and the
// accessors. The commands themselves are in simPrinterCommands.cpp, the
// records in simPrinterRecords.cpp, the builds in simPrinterBuild.cpp.
#include "standins/wendaro/simPrinter.h"

#include "machine/globalNames.h"
#include "machine/messageTable.h"
#include "machine/textUtils.h"
#include "machine/timeTexts.h"
#include "machine/wstr.h"
#include "platform/identity.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint64_t never = std::numeric_limits<std::uint64_t>::max();

const wchar_t* stateText(std::uint8_t state)
{
    static const wchar_t* const texts[] = {L"Unknown",     L"Building...",     L"Paused",      L"Initializing...",
                                           L"Model End",   L"Technician Mode", L"Sleep Mode",  L"Ready",
                                           L"Kit Replaced?", L"Trim Layer?",   L"Resume Model", L"Check Pen"};
    return state <= 11 ? texts[state] : texts[0];
}

// "7 -> 5": the text of a state change event.
std::wstring stateChangeText(std::uint8_t old, std::uint8_t state)
{
    wchar_t text[12];
    std::size_t n = 0;
    auto put = [&](unsigned value) {
        if (value >= 100)
            text[n++] = static_cast<wchar_t>(L'0' + value / 100);
        if (value >= 10)
            text[n++] = static_cast<wchar_t>(L'0' + value / 10 % 10);
        text[n++] = static_cast<wchar_t>(L'0' + value % 10);
    };
    put(old);
    for (wchar_t ch : {L' ', L'-', L'>', L' '})
        text[n++] = ch;
    put(state);
    return std::wstring(text, n);
}

}  // namespace

simPrinter_t::simPrinter_t(simPrinterConfig_t config)
    : config_(std::move(config)),
      logs_(config_.dataRoot.empty() ? getBaseFolder() : config_.dataRoot, config_.machineID),
      random_(config_.seed)
{
    config_.actionMs = std::min(config_.actionMs, maxActionMs);
    logs_.setEnabled(config_.writeLogs);
    initialiseMemory();
    state_ = (config_.startState >= 1 && config_.startState <= 11) ? config_.startState : 7;
    powered_.fill(true);
    homed_.fill(false);
    // Parked where a finished model leaves the head.
    pos_[x_e] = memory_[36];
    pos_[y_e] = memory_[37];
    temperature_ = memory_[87];
    tableZero_ = config_.tableZero;
    zHeight_ = tableZero_;
    if (state_ == 3)
        initEndsAt_ = config_.initMs;
    realTimeBase_ = std::chrono::steady_clock::now();
}

simPrinter_t::~simPrinter_t()
{
    // Wake any server thread still waiting for a reply.
    std::lock_guard<std::mutex> guard(mutex_);
    pending_.clear();
    replyReady_.notify_all();
}

// ---- Packets ---------------------------------------------------------------

simReply_t simPrinter_t::handleCommand(const std::uint8_t* packet, std::size_t n, std::uint32_t connection)
{
    std::lock_guard<std::mutex> guard(mutex_);
    return handleLocked(packet, n, connection);
}

simReply_t simPrinter_t::handleCommand(const std::vector<std::uint8_t>& packet, std::uint32_t connection)
{
    return handleCommand(packet.data(), packet.size(), connection);
}

simReply_t simPrinter_t::handleQueuedPacket(const std::uint8_t* bytes, std::size_t n, std::uint32_t connection)
{
    if (bytes == nullptr || n < 2 || static_cast<std::size_t>(bytes[0]) + 1 != n) {
        std::lock_guard<std::mutex> guard(mutex_);
        traceLocked(simTraceEntry_t::kind_e::commandIn_e, connection, -1,
                    bytes == nullptr ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(bytes, n),
                    "malformed: length byte does not match");
        simReply_t reply;
        reply.kind = simReply_t::kind_e::malformed_e;
        return reply;
    }
    return handleCommand(bytes + 1, n - 1, connection);
}

simReply_t simPrinter_t::handleLocked(const std::uint8_t* packet, std::size_t n, std::uint32_t connection)
{
    if (packet == nullptr || n == 0) {
        traceLocked(simTraceEntry_t::kind_e::commandIn_e, connection, -1, {}, "malformed: empty packet");
        simReply_t reply;
        reply.kind = simReply_t::kind_e::malformed_e;
        return reply;
    }
    const std::uint8_t code = packet[0];
    const std::span<const std::uint8_t> payload(packet + 1, n - 1);
    traceLocked(simTraceEntry_t::kind_e::commandIn_e, connection, code, std::span<const std::uint8_t>(packet, n),
                std::string_view());
    const std::optional<simFaultRule_t> fault = matchFaultLocked(code, connection);
    if (fault && fault->action == simFaultRule_t::action_e::setError_e)
        setErrorLocked(static_cast<std::uint8_t>(fault->value));
    simReply_t reply = dispatchLocked(code, payload, connection, fault);
    settleLocked();
    if (reply.isPending())
        return takeReadyLocked(reply.ticket);
    return reply;
}

std::optional<simFaultRule_t> simPrinter_t::matchFaultLocked(std::uint8_t code, std::uint32_t connection)
{
    for (faultState_t& fault : faults_) {
        const simFaultRule_t& rule = fault.rule;
        if ((rule.code >= 0 && rule.code != code) || (rule.state >= 0 && rule.state != state_) ||
            (rule.connection != 0 && rule.connection != connection))
            continue;
        ++fault.seen;
        if (fault.seen <= rule.skip || (rule.times >= 0 && fault.acted >= rule.times))
            continue;
        ++fault.acted;
        noteLocked(simTraceNote_t() << "fault on command " << code << ": action " << static_cast<int>(rule.action)
                                    << " value " << rule.value);
        return rule;
    }
    return std::nullopt;
}

simReply_t simPrinter_t::finishReplyLocked(std::vector<std::uint8_t> packet, std::uint32_t connection,
                                           const std::optional<simFaultRule_t>& fault)
{
    simReply_t reply;
    if (fault && fault->action == simFaultRule_t::action_e::replyType_e && !packet.empty())
        packet[0] = static_cast<std::uint8_t>(fault->value);
    if (fault && fault->action == simFaultRule_t::action_e::noReply_e) {
        traceLocked(simTraceEntry_t::kind_e::event_e, connection, -1, packet, "fault: reply withheld");
        reply.kind = simReply_t::kind_e::none_e;
        return reply;
    }
    traceLocked(simTraceEntry_t::kind_e::replyOut_e, connection, packet.empty() ? -1 : packet[0], packet,
                std::string_view());
    reply.kind = simReply_t::kind_e::packet_e;
    reply.packet = std::move(packet);
    return reply;
}

std::uint64_t simPrinter_t::newPendingLocked(std::uint32_t connection, const std::optional<simFaultRule_t>& fault)
{
    const std::uint64_t ticket = nextTicket_++;
    pending_t pending;
    pending.connection = connection;
    if (fault && fault->action == simFaultRule_t::action_e::noReply_e)
        pending.silent = true;
    if (fault && fault->action == simFaultRule_t::action_e::replyType_e)
        pending.typeOverride = fault->value;
    pending_[ticket] = pending;
    return ticket;
}

void simPrinter_t::resolvePendingLocked(std::uint64_t ticket, std::vector<std::uint8_t> packet)
{
    auto it = pending_.find(ticket);
    if (it == pending_.end() || it->second.ready)
        return;
    pending_t& pending = it->second;
    if (pending.typeOverride >= 0 && !packet.empty())
        packet[0] = static_cast<std::uint8_t>(pending.typeOverride);
    if (pending.silent)
        traceLocked(simTraceEntry_t::kind_e::event_e, pending.connection, -1, packet, "fault: reply withheld");
    else
        traceLocked(simTraceEntry_t::kind_e::replyOut_e, pending.connection, packet.empty() ? -1 : packet[0], packet,
                    std::string_view());
    pending.packet = std::move(packet);
    pending.ready = true;
    replyReady_.notify_all();
}

simReply_t simPrinter_t::takeReadyLocked(std::uint64_t ticket)
{
    simReply_t reply;
    auto it = pending_.find(ticket);
    if (it == pending_.end())
        return reply;  // none_e: cancelled or never known
    if (!it->second.ready) {
        reply.kind = simReply_t::kind_e::pending_e;
        reply.ticket = ticket;
        return reply;
    }
    if (!it->second.silent) {
        reply.kind = simReply_t::kind_e::packet_e;
        reply.packet = std::move(it->second.packet);
    }
    pending_.erase(it);
    return reply;
}

simReply_t simPrinter_t::pollReply(std::uint64_t ticket)
{
    std::lock_guard<std::mutex> guard(mutex_);
    return takeReadyLocked(ticket);
}

simReply_t simPrinter_t::awaitReply(std::uint64_t ticket, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    replyReady_.wait_for(lock, timeout, [&] {
        auto it = pending_.find(ticket);
        return it == pending_.end() || it->second.ready;
    });
    return takeReadyLocked(ticket);
}

void simPrinter_t::cancelReply(std::uint64_t ticket)
{
    std::lock_guard<std::mutex> guard(mutex_);
    pending_.erase(ticket);
    replyReady_.notify_all();
}

void simPrinter_t::dropConnection(std::uint32_t connection)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::erase_if(pending_, [&](const auto& item) { return item.second.connection == connection; });
    replyReady_.notify_all();
}

// ---- Clock -------------------------------------------------------------------

void simPrinter_t::advance(std::uint64_t ms)
{
    std::lock_guard<std::mutex> guard(mutex_);
    advanceLocked(ms > never - now_ ? never : now_ + ms);
}

void simPrinter_t::tickRealTime()
{
    std::lock_guard<std::mutex> guard(mutex_);
    const auto realNow = std::chrono::steady_clock::now();
    const double realMs = std::chrono::duration<double, std::milli>(realNow - realTimeBase_).count();
    realTimeBase_ = realNow;
    const double simulated = realMs * std::max(config_.timeScale, 0.0) + realTimeCarry_;
    const double whole = std::floor(simulated);
    realTimeCarry_ = simulated - whole;
    advanceLocked(now_ + static_cast<std::uint64_t>(whole));
}

std::uint64_t simPrinter_t::nowMs() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return now_;
}

bool simPrinter_t::actionsIdle() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return actions_.empty() && !headRunning_;
}

void simPrinter_t::advanceLocked(std::uint64_t target)
{
    // Everything due runs in time order; each handler moves something on,
    // the bound only guards against a handler that would not.
    constexpr int maxSteps = 10000000;
    for (int guard = 0; guard < maxSteps; ++guard) {
        if (buildAloneLocked()) {
            // A build that runs with nothing else going on moves from phase
            // to phase, and nothing else can fall due in between: the rest
            // needs no look. The same steps as below, counted the same.
            build_t& build = *build_;
            const std::uint64_t length = phaseLengthLocked();
            const std::uint64_t dt = build.phaseElapsed < length ? length - build.phaseElapsed : 0;
            if (now_ + dt <= target) {
                if (dt > 0) {
                    build.phaseElapsed = length;
                    build.elapsedMs += dt;
                    runningMs_ += dt;
                    now_ += dt;
                    // Only the build's clocks moved: its phase is the next step.
                    if (++guard == maxSteps)
                        break;
                }
                runBuildPhaseLocked();
                continue;
            }
            // The time left ends inside the phase: passed below.
        }
        if (runDueLocked())
            continue;
        const std::uint64_t next = nextDueLocked();
        if (next > target) {
            if (target > now_) {
                passTimeLocked(target - now_);
                now_ = target;
            }
            return;
        }
        if (next > now_) {
            passTimeLocked(next - now_);
            now_ = next;
        }
    }
    noteLocked("clock: too many steps in one advance");
}

bool simPrinter_t::buildAloneLocked() const
{
    return state_ == 1 && buildOpenLocked() && !headRunning_ && actions_.empty() && !initEndsAt_ && !wakeEndsAt_ &&
           !operatorPressAt_;
}

std::uint64_t simPrinter_t::nextDueLocked() const
{
    std::uint64_t next = operatorDueLocked();
    if (headRunning_)
        next = std::min(next, headEndsAt_);
    if (initEndsAt_)
        next = std::min(next, *initEndsAt_);
    if (wakeEndsAt_)
        next = std::min(next, *wakeEndsAt_);
    // A model loads only into a ready machine; in any other state it waits.
    if (build_ && build_->loading && state_ == 7)
        next = std::min(next, build_->loadingEndsAt);
    if (buildOpenLocked() && state_ == 1) {
        const std::uint64_t length = phaseLengthLocked();
        next = std::min(next, now_ + (build_->phaseElapsed >= length ? 0 : length - build_->phaseElapsed));
    }
    const std::int32_t idle = wordLocked(84);
    if (state_ == 7 && idle > 0 && actions_.empty() && !headRunning_ && !(build_ && build_->loading))
        next = std::min(next, lastActivity_ + static_cast<std::uint64_t>(idle));
    return next;
}

bool simPrinter_t::runDueLocked()
{
    if (runOperatorLocked())
        return true;
    if (headRunning_ && headEndsAt_ <= now_) {
        completeHeadLocked();
        return true;
    }
    if (!headRunning_ && !actions_.empty()) {
        startHeadLocked();
        return true;
    }
    if (initEndsAt_ && *initEndsAt_ <= now_) {
        initEndsAt_.reset();
        initialiseMachineLocked();
        if (state_ == 3)
            setStateLocked(7);
        return true;
    }
    if (wakeEndsAt_ && *wakeEndsAt_ <= now_) {
        wakeEndsAt_.reset();
        if (state_ == 6)
            setStateLocked(7);
        return true;
    }
    if (build_ && build_->loading && state_ == 7 && build_->loadingEndsAt <= now_) {
        beginBuildingLocked();
        return true;
    }
    if (buildOpenLocked() && state_ == 1 && build_->phaseElapsed >= phaseLengthLocked()) {
        runBuildPhaseLocked();
        return true;
    }
    const std::int32_t idle = wordLocked(84);
    if (state_ == 7 && idle > 0 && actions_.empty() && !headRunning_ && !(build_ && build_->loading) &&
        lastActivity_ + static_cast<std::uint64_t>(idle) <= now_) {
        setStateLocked(6);
        return true;
    }
    const bool wasLoading = build_ && build_->loading;
    const bool wasOpen = buildOpenLocked();
    tryStartBuildLocked();
    return (build_ && build_->loading) != wasLoading || buildOpenLocked() != wasOpen;
}

void simPrinter_t::passTimeLocked(std::uint64_t dt)
{
    if (buildOpenLocked() && state_ == 1) {
        build_->phaseElapsed += dt;
        build_->elapsedMs += dt;
        runningMs_ += dt;
    }
}

std::time_t simPrinter_t::wallTimeLocked() const
{
    if (config_.wallClockStart != 0)
        return config_.wallClockStart + static_cast<std::time_t>(now_ / 1000);
    return std::time(nullptr);
}

// ---- Trace, events, logs, states and errors ---------------------------------

void simPrinter_t::traceLocked(simTraceEntry_t::kind_e kind, std::uint32_t connection, int code,
                               std::span<const std::uint8_t> bytes, std::string_view note)
{
    trace_.add(kind, now_, connection, code, bytes, note);
}

void simPrinter_t::eventLocked(simEvent_t::kind_e kind, std::wstring text, std::uint32_t connection)
{
    simTraceNote_t note;
    note << "event " << static_cast<int>(kind) << " ";
    note.appendNarrowed(text);
    traceLocked(simTraceEntry_t::kind_e::event_e, connection, -1, {}, note.view());
    events_.push(simEvent_t{kind, std::move(text), connection});
}

void simPrinter_t::dailyLocked(std::wstring_view text)
{
    if (logging() && logs_.appendDaily(wallTimeLocked(), std::wstring(text)))
        eventLocked(simEvent_t::kind_e::logAppended_e);
}

void simPrinter_t::briefLocked(std::wstring_view text)
{
    if (logging())
        logs_.appendBrief(wallTimeLocked(), std::wstring(text));
}

void simPrinter_t::setStateLocked(std::uint8_t state, std::wstring_view pausingUser)
{
    if (state == state_)
        return;
    const std::uint8_t old = state_;
    if (state == 5)
        stateBefore5_ = old;
    if (state == 11)
        stateBefore11_ = old;
    if (state != 3)
        initEndsAt_.reset();
    if (state != 6)
        wakeEndsAt_.reset();
    state_ = state;
    lastActivity_ = now_;
    noteLocked(simTraceNote_t() << "state " << old << " -> " << state);
    eventLocked(simEvent_t::kind_e::stateChanged_e, stateChangeText(old, state));
    if (logging()) {
        dailyLocked(wstr_t() << L"Machine state: " << stateText(old) << L" -> " << stateText(state));
        if (state == 2 || state == 4 || state == 6 || state == 11)
            briefLocked(wstr_t() << L"Machine state: " << stateText(state));
    }
    if (state == 2 && old == 1)
        eventLocked(simEvent_t::kind_e::paused_e, std::wstring(pausingUser));
}

void simPrinter_t::setErrorLocked(std::uint8_t number)
{
    if (number == error_)
        return;
    error_ = number;
    eventLocked(simEvent_t::kind_e::errorChanged_e, toStr(static_cast<int>(number)));
    if (number == 0) {
        dailyLocked(L"Error cleared");
        return;
    }
    lastError_ = number;
    errorTime_ = wallTimeLocked();
    if (logging()) {
        static const messageTable_t messages;
        const std::wstring text = wstr_t() << L"Error " << static_cast<int>(number) << L": "
                                           << messages.getMessageText(number);
        dailyLocked(text);
        briefLocked(text);
    }
    // An error stops a build where it stands.
    if (state_ == 1)
        setStateLocked(2, L"Machine error");
}

// ---- Front panel and harness events ------------------------------------------

void simPrinter_t::pressPause(const std::wstring& user)
{
    std::lock_guard<std::mutex> guard(mutex_);
    noteLocked("PAUSE pressed");
    if (state_ == 5 && headRunning_ && !actions_.empty() && actions_.front().ticket != 0 &&
        actions_.front().marker == marker_e::command_e) {
        // The awaited action stops; the client learns it from reply 12.
        const std::uint64_t ticket = actions_.front().ticket;
        actions_.pop_front();
        headRunning_ = false;
        setStateLocked(2, user);
        resolvePendingLocked(ticket, statusPacketLocked(12));
    } else if (state_ == 1 || state_ == 7) {
        setStateLocked(2, user);
    }
    settleLocked();
}

void simPrinter_t::pressResume()
{
    std::lock_guard<std::mutex> guard(mutex_);
    pressResumeLocked();
    settleLocked();
}

void simPrinter_t::pressResumeLocked()
{
    noteLocked("RESUME pressed");
    setErrorLocked(0);
    switch (state_) {
    case 2:
    case 8:
    case 9:
    case 10:
        initialised_ = true;
        setStateLocked(buildOpenLocked() ? 1 : 7);
        break;
    case 5:
        command132Locked();
        break;
    case 11:
        setStateLocked(stateBefore11_ == 11 ? 7 : stateBefore11_);
        break;
    default:
        break;
    }
}

void simPrinter_t::setDoorOpen(bool open)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (door_ == open)
        return;
    door_ = open;
    dailyLocked(open ? L"Door opened" : L"Door closed");
    if (open && state_ == 1 && (wordLocked(120) & 1) == 0)
        setStateLocked(2, L"Door");
    settleLocked();
}

void simPrinter_t::setDoorThrown(bool thrown)
{
    std::lock_guard<std::mutex> guard(mutex_);
    doorThrown_ = thrown;
}

void simPrinter_t::setMedia(bool present)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (media_ == present)
        return;
    media_ = present;
    dailyLocked(present ? L"Media inserted" : L"Media removed");
    if (!present && state_ == 1 && config_.autoErrors)
        setErrorLocked(37);
    settleLocked();
}

void simPrinter_t::setTemperature(int degrees)
{
    std::lock_guard<std::mutex> guard(mutex_);
    temperature_ = std::clamp(degrees, 0, 255);
}

void simPrinter_t::removeModel()
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (buildOpenLocked() || (build_ && build_->loading))
        endBuildLocked(false);
    if (!modelOnTable_ && !modelEnded_ && stack_ == 0)
        return;
    modelOnTable_ = false;
    modelEnded_ = false;
    stack_ = 0;
    dailyLocked(L"Model removed from the table");
    if (state_ == 4)
        setStateLocked(7);
    settleLocked();
}

void simPrinter_t::sleepNow()
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (state_ == 7)
        setStateLocked(6);
}

void simPrinter_t::powerCycle()
{
    std::lock_guard<std::mutex> guard(mutex_);
    noteLocked("power cycle");
    dailyLocked(L"Power cycle");
    for (const action_t& action : actions_)
        if (action.ticket != 0)
            resolvePendingLocked(action.ticket, statusPacketLocked(4));
    actions_.clear();
    headRunning_ = false;
    homed_.fill(false);
    powered_.fill(true);
    tool_ = -1;
    physicalTool_ = 0;
    penDown_ = false;
    ironHooked_ = false;
    heightTouch_ = false;
    initialised_ = false;
    if (build_ && build_->loading)
        endBuildLocked(false);
    if (buildOpenLocked()) {
        setStateLocked(10);
    } else {
        setStateLocked(3);
        initEndsAt_ = now_ + config_.initMs;
    }
    settleLocked();
}

void simPrinter_t::setError(std::uint8_t number)
{
    std::lock_guard<std::mutex> guard(mutex_);
    setErrorLocked(number);
    settleLocked();
}

void simPrinter_t::clearError() { setError(0); }

void simPrinter_t::forceSensors(std::uint32_t mask, bool on)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (on) {
        forcedOn_ |= mask;
        forcedOff_ &= ~mask;
    } else {
        forcedOff_ |= mask;
        forcedOn_ &= ~mask;
    }
}

void simPrinter_t::releaseSensors(std::uint32_t mask)
{
    std::lock_guard<std::mutex> guard(mutex_);
    forcedOn_ &= ~mask;
    forcedOff_ &= ~mask;
}

void simPrinter_t::manualMoveXY(std::int32_t x, std::int32_t y)
{
    std::lock_guard<std::mutex> guard(mutex_);
    pos_[x_e] = x;
    pos_[y_e] = y;
    handMoved_ = true;
    searchReported_ = false;
}

void simPrinter_t::setPenMissing(int tool, bool missing)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (tool >= 0 && tool < static_cast<int>(penMissing_.size()))
        penMissing_[static_cast<std::size_t>(tool)] = missing;
}

void simPrinter_t::setState(std::uint8_t state)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (state < 1 || state > 11)
        return;
    setStateLocked(state);
    if (state == 3 && !initEndsAt_)
        initEndsAt_ = now_ + config_.initMs;
    if (state == 6 || state == 7)
        lastActivity_ = now_;
    settleLocked();
}

void simPrinter_t::setTableZero(std::int32_t nm)
{
    std::lock_guard<std::mutex> guard(mutex_);
    tableZero_ = nm;
}

// ---- Accessors ----------------------------------------------------------------

machineStatus_t simPrinter_t::status() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return statusLocked();
}

machineInfo_t simPrinter_t::info() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return infoLocked();
}

std::uint8_t simPrinter_t::machineState() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

std::uint8_t simPrinter_t::errorNumber() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return error_;
}

parameterMemory_t simPrinter_t::memory() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return memory_;
}

std::int32_t simPrinter_t::memoryWord(int index) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return wordLocked(index);
}

void simPrinter_t::setMemoryWord(int index, std::int32_t value)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (index >= 0 && index < paramLayout::words)
        memory_[static_cast<std::size_t>(index)] = value;
    settleLocked();
}

std::int32_t simPrinter_t::layerRecordCount() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return records_.empty() ? 0 : static_cast<std::int32_t>(records_.size()) - 1;
}

std::optional<simLayerRecord_t> simPrinter_t::layerRecord(int index) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size())
        return std::nullopt;
    return records_[static_cast<std::size_t>(index)];
}

bool simPrinter_t::setLayerRecord(int index, const simLayerRecord_t& record)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size())
        return false;
    records_[static_cast<std::size_t>(index)] = record;
    return true;
}

qvrHostModelInfo_t simPrinter_t::modelInfo() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return modelInfo_;
}

fileInfo_t simPrinter_t::fileInfo() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return fileInfo_;
}

std::pair<std::uint32_t, std::uint32_t> simPrinter_t::timeEstimate() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::uint64_t remainingMs = 0;
    if (buildOpenLocked()) {
        const std::uint64_t left = static_cast<std::uint64_t>(build_->model.layers - build_->layersDone);
        remainingMs = left * config_.layerMs;
        const std::uint64_t intoLayer = static_cast<std::uint64_t>(build_->phase) * (config_.layerMs / 5) +
                                        std::min<std::uint64_t>(build_->phaseElapsed, phaseLengthLocked());
        remainingMs -= std::min(remainingMs, intoLayer);
    }
    return {static_cast<std::uint32_t>(remainingMs / 1000), 90u};
}

errorHistory_t simPrinter_t::errorHistory() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    errorHistory_t record;
    const std::uint8_t number = error_ != 0 ? error_ : lastError_;
    if (number == 0) {
        record.value1 = 0;
        return record;
    }
    static const messageTable_t messages;
    record.value1 = number;
    record.messageCode = number;
    record.value2 = static_cast<std::int32_t>(errorTime_);
    record.value3 = static_cast<std::int32_t>(config_.machineID);
    record.layerNumber = buildOpenLocked() ? std::min(build_->layersDone + 1, build_->model.layers) : 0;
    record.description = messages.getMessageText(number);
    if (build_)
        record.text2 = strToWstr(build_->model.name);
    record.text3 = formatDate(errorTime_);
    record.text4 = simMachineLogs_t::clockText(errorTime_);
    if (build_)
        record.text5 = build_->user;
    return record;
}

std::int64_t simPrinter_t::position(int axis) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return axis >= 0 && axis < axisCount ? pos_[static_cast<std::size_t>(axis)] : 0;
}

std::int64_t simPrinter_t::stackHeight() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return stack_;
}

int simPrinter_t::currentTool() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return tool_;
}

// ---- Logs, faults, events -------------------------------------------------------

void simPrinter_t::setLogWriting(bool on)
{
    std::lock_guard<std::mutex> guard(mutex_);
    logs_.setEnabled(on);
}

void simPrinter_t::appendDailyLog(const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(mutex_);
    dailyLocked(text);
}

void simPrinter_t::appendBriefLog(const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(mutex_);
    briefLocked(text);
}

bool simPrinter_t::writeEmbeddedVersionFile()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return logs_.writeEmbeddedVersion(config_.embeddedVersion);
}

std::wstring simPrinter_t::machineFolder() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return logs_.machineFolder();
}

std::wstring simPrinter_t::dailyLogPath() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return logs_.dailyLogPath(wallTimeLocked());
}

std::wstring simPrinter_t::modelLogPath() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return build_ ? build_->modelLogPath : std::wstring();
}

void simPrinter_t::addFault(const simFaultRule_t& rule)
{
    std::lock_guard<std::mutex> guard(mutex_);
    faults_.push_back(faultState_t{rule, 0, 0});
}

void simPrinter_t::clearFaults()
{
    std::lock_guard<std::mutex> guard(mutex_);
    faults_.clear();
}

std::vector<simEvent_t> simPrinter_t::takeEvents()
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<simEvent_t> out;
    out.reserve(events_.size());
    events_.visit([&](simEvent_t& event) {
        out.push_back(std::move(event));
        return false;
    });
    events_.clear();
    return out;
}
