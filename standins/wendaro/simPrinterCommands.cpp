// The machine commands: which reply each gets, and what the printer does.
//
// Reply rule, by the machine state when the command arrives:
// - 1 -> 1, 12 -> 11, 147 -> 10, at once and in every state;
// - 5 -> 7 (a memory chunk), 10 -> 9 (a layer record) or 2 when there is none;
// - 3, 8, 14, 160, 15, 133, 152, 157 and pump moves with axis byte 0x83 are
//   only queued by the client, never awaited: 2 at once, in every state;
// - 4, 132, 146, 158: 2 at once; 146 enters state 5 once no action is left;
// - 19 -> 13, once every action before it has run;
// - an action: in state 5 -> 10 once it has run (the client awaits it); in
//   states 2, 4, 7, 8 to 11 -> 2 and it runs in the background; in states 1,
//   3 and 6, or with the error number set, -> 4 and nothing happens (10 in
//   state 5, so that an awaiting client is released).
// An unknown code gets 2 (10 in state 5); a known code with a payload of the
// wrong length gets 4 (10 in state 5). Both go to the trace.
#include "standins/wendaro/simPrinter.h"

#include "machine/littleEndian.h"
#include "machine/paramImage.h"
#include "machine/textUtils.h"
#include "machine/wstr.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace {

enum class known_e { unknown_e, wrongLength_e, ok_e };

known_e checkLength(std::uint8_t code, std::span<const std::uint8_t> p)
{
    const std::size_t n = p.size();
    auto is = [&](std::size_t a) { return n == a ? known_e::ok_e : known_e::wrongLength_e; };
    auto isEither = [&](std::size_t a, std::size_t b) { return n == a || n == b ? known_e::ok_e : known_e::wrongLength_e; };
    switch (code) {
    case 1: case 4: case 12: case 19: case 132: case 133: case 138: case 143: case 144: case 145: case 146:
    case 147: case 154: case 155: case 158: case 159: case 161: case 165:
        return is(0);
    case 15: case 130: case 139: case 142: case 151: case 152:
        return is(1);
    case 10: case 131: case 140: case 160:
        return is(2);
    case 5: case 14: case 164:
        return is(4);
    case 128: case 137:
        return is(5);
    case 157:
        return is(6);
    case 3: case 134: case 135: case 136:
        return is(8);
    case 129:
        return isEither(5, 7);
    case 141:
        return isEither(0, 1);
    case 150:
        return isEither(1, 2);
    case 8:
        return n >= 5 && n == 5 + (p[0] & 0x7Fu) ? known_e::ok_e : known_e::wrongLength_e;
    case 162:
        return n >= 10 && p[9] < 53 && n == 10u + p[9] ? known_e::ok_e : known_e::wrongLength_e;
    default:
        return known_e::unknown_e;
    }
}

}  // namespace

bool simPrinter_t::isMotionCommand(std::uint8_t code) const
{
    switch (code) {
    case 128: case 129: case 130: case 134: case 135: case 136: case 139: case 140: case 141: case 142:
    case 143: case 144: case 145: case 151: case 154: case 159: case 161: case 162: case 164: case 165:
        return true;
    default:
        return false;
    }
}

simReply_t simPrinter_t::dispatchLocked(std::uint8_t code, std::span<const std::uint8_t> payload,
                                        std::uint32_t connection, const std::optional<simFaultRule_t>& fault)
{
    auto reply = [&](std::vector<std::uint8_t> packet) { return finishReplyLocked(std::move(packet), connection, fault); };
    auto typeOnly = [&](std::uint8_t type) { return reply({type}); };
    // What releases a client awaiting a command in state 5 without doing it.
    // why, then the state when one is given.
    auto refuse = [&](std::string_view why, int state = -1) {
        simTraceNote_t note;
        note << "command " << code << ": " << why;
        if (state >= 0)
            note << state;
        noteLocked(note);
        return state_ == 5 ? reply(statusPacketLocked(10)) : typeOnly(4);
    };

    const known_e known = checkLength(code, payload);
    if (known == known_e::unknown_e) {
        noteLocked(simTraceNote_t() << "unknown command " << code);
        return state_ == 5 ? reply(statusPacketLocked(10)) : typeOnly(2);
    }
    if (known == known_e::wrongLength_e)
        return refuse("wrong length");
    if (code != 1 && code != 12 && code != 147)
        lastActivity_ = now_;

    switch (code) {
    case 1:
        return reply(statusPacketLocked(1));
    case 12:
        return reply(infoPacketLocked());
    case 147:
        return reply(statusPacketLocked(10));
    case 5: {
        std::vector<std::uint8_t> chunk = readChunkLocked(payload);
        return chunk.empty() ? typeOnly(4) : reply(std::move(chunk));
    }
    case 10: {
        const std::size_t index = le::getU16(&payload[0]);
        const std::int32_t count = build_ ? build_->layersDone : 0;
        if (index >= records_.size() || static_cast<std::int32_t>(index) > count)
            return typeOnly(2);
        std::vector<std::uint8_t> packet(1 + simLayerRecord_t::size);
        packet[0] = 9;
        std::copy(records_[index].bytes.begin(), records_[index].bytes.end(), packet.begin() + 1);
        return reply(std::move(packet));
    }
    case 3:
        return typeOnly(writeWordLocked(payload, connection) ? 2 : 4);
    case 8:
        return typeOnly(writeBlockLocked(payload, connection) ? 2 : 4);
    case 14:
        layerLength_ = le::getI32(&payload[0]);
        return typeOnly(2);
    case 160:
        valveOn_ = payload[0] != 0;
        noteLocked(valveOn_ ? "DC valve on" : "DC valve off");
        return typeOnly(2);
    case 15:
    case 133:
    case 152:
        return typeOnly(2);
    case 157:
        std::copy(payload.begin(), payload.end(), nextBuildOptions_.begin());
        noteLocked(simTraceNote_t() << "options for the next build: " << payload[4] << " " << payload[5]);
        return typeOnly(2);
    case 4:
        if (state_ == 4)
            setStateLocked(7);
        else if (state_ == 10 && buildOpenLocked())
            endBuildLocked(false);  // the interrupted model is given up
        return typeOnly(2);
    case 132:
        command132Locked();
        return typeOnly(2);
    case 158:
        if (state_ == 5)
            command132Locked();
        return typeOnly(2);
    case 146: {
        // A failed 146 leaves the machine where it was.
        const bool fails = fault && fault->action == simFaultRule_t::action_e::failCommand_e;
        if (actions_.empty() && !headRunning_) {
            if (fails)
                failLocked(code, fault->value);
            else
                enterTechnicianLocked();
        } else {
            action_t marker;
            marker.marker = marker_e::enterTechnician_e;
            marker.code = code;
            marker.connection = connection;
            marker.fail = fails;
            marker.failError = fault ? fault->value : 0;
            enqueueLocked(std::move(marker));
        }
        return typeOnly(2);
    }
    case 19: {
        if (actions_.empty() && !headRunning_)
            return reply(statusPacketLocked(13));
        action_t marker;
        marker.marker = marker_e::statusReply_e;
        marker.code = code;
        marker.connection = connection;
        marker.ticket = newPendingLocked(connection, fault);
        const std::uint64_t ticket = marker.ticket;
        enqueueLocked(std::move(marker));
        simReply_t pending;
        pending.kind = simReply_t::kind_e::pending_e;
        pending.ticket = ticket;
        return pending;
    }
    case 138:
        if (state_ == 5)
            return actionLocked(code, payload, connection, fault);
        if (state_ == 1 || state_ == 3)
            return refuse("refused in state ", state_);
        if (buildOpenLocked() || (build_ && build_->loading))
            endBuildLocked(false);
        setStateLocked(3);
        initEndsAt_ = now_ + config_.initMs;
        return typeOnly(2);
    case 155:
        if (state_ == 7 && !modelOnTable_ && error_ == 0 && actions_.empty() && !headRunning_ &&
            !(build_ && build_->loading)) {
            build_t test;
            test.model.name = "Test Model";
            test.model.layers = 50;
            test.model.thickness = simModelFile_t::defaultThickness;
            test.model.length = 50000000;
            test.model.height = 50LL * simModelFile_t::defaultThickness;
            test.user = L"Front panel";
            startBuildLocked(std::move(test));
            return typeOnly(2);
        }
        return refuse("test model refused in state ", state_);
    case 129:
        if ((payload[0] & 0x80u) != 0) {
            // Pump at a given speed, not awaited: acknowledged at once and
            // run in the background, in state 5 too.
            action_t action;
            action.code = code;
            action.payload.assign(payload.begin(), payload.end());
            action.connection = connection;
            action.duration = config_.actionMs;
            action.fail = fault && fault->action == simFaultRule_t::action_e::failCommand_e;
            action.failError = fault ? fault->value : 0;
            enqueueLocked(std::move(action));
            return typeOnly(2);
        }
        return actionLocked(code, payload, connection, fault);
    default:
        return actionLocked(code, payload, connection, fault);
    }
}

simReply_t simPrinter_t::actionLocked(std::uint8_t code, std::span<const std::uint8_t> payload,
                                      std::uint32_t connection, const std::optional<simFaultRule_t>& fault)
{
    if (state_ == 1 || state_ == 3 || state_ == 6) {
        noteLocked(simTraceNote_t() << "command " << code << ": refused in state " << state_);
        return finishReplyLocked({4}, connection, fault);
    }
    if (error_ != 0) {
        noteLocked(simTraceNote_t() << "command " << code << ": refused, error " << error_);
        return finishReplyLocked(state_ == 5 ? statusPacketLocked(10) : std::vector<std::uint8_t>{4}, connection,
                                 fault);
    }
    action_t action;
    action.code = code;
    action.payload.assign(payload.begin(), payload.end());
    action.connection = connection;
    action.duration = config_.actionMs;
    if (code == 139 || code == 159)
        action.duration = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(std::uint64_t{config_.actionMs} * config_.sensingActions, maxActionMs));
    action.fail = fault && fault->action == simFaultRule_t::action_e::failCommand_e;
    action.failError = fault ? fault->value : 0;
    if (state_ != 5) {
        enqueueLocked(std::move(action));
        return finishReplyLocked({2}, connection, fault);
    }
    action.ticket = newPendingLocked(connection, fault);
    simReply_t pending;
    pending.kind = simReply_t::kind_e::pending_e;
    pending.ticket = action.ticket;
    enqueueLocked(std::move(action));
    return pending;
}

void simPrinter_t::enqueueLocked(action_t action) { actions_.push_back(std::move(action)); }

void simPrinter_t::failLocked(int code, int error)
{
    noteLocked(simTraceNote_t() << "fault: command " << code << " failed");
    if (error != 0)
        setErrorLocked(static_cast<std::uint8_t>(error));
}

void simPrinter_t::startHeadLocked()
{
    headRunning_ = true;
    headEndsAt_ = now_ + actions_.front().duration;
}

void simPrinter_t::completeHeadLocked()
{
    action_t action = std::move(actions_.front());
    actions_.pop_front();
    headRunning_ = false;
    lastActivity_ = now_;
    switch (action.marker) {
    case marker_e::statusReply_e:
        resolvePendingLocked(action.ticket, statusPacketLocked(13));
        return;
    case marker_e::enterTechnician_e:
        if (action.fail)
            failLocked(action.code, action.failError);
        else
            enterTechnicianLocked();
        return;
    case marker_e::command_e:
        break;
    }
    if (action.fail) {
        failLocked(action.code, action.failError);
    } else if (error_ != 0) {
        noteLocked(simTraceNote_t() << "command " << action.code << ": not run, error " << error_);
    } else {
        performLocked(action);
    }
    armOperatorLocked(action.code, action.ticket != 0);
    if (action.ticket != 0)
        resolvePendingLocked(action.ticket, statusPacketLocked(10));
}

void simPrinter_t::performLocked(const action_t& action)
{
    const std::vector<std::uint8_t>& p = action.payload;
    if (config_.autoErrors && door_ && isMotionCommand(action.code) && (wordLocked(120) & 1) == 0) {
        setErrorLocked(28);
        return;
    }
    auto axisOk = [](int axis) { return axis >= 0 && axis < axisCount; };
    switch (action.code) {
    case 128: {
        const int axis = p[0];
        if (axisOk(axis))
            moveAxisLocked(axis, pos_[static_cast<std::size_t>(axis)] + le::getI32(&p[1]));
        break;
    }
    case 129: {
        const int axis = (p[0] & 0x80u) != 0 ? static_cast<int>(p[0] & 0x7Fu) : p[0];
        if (axisOk(axis))
            moveAxisLocked(axis, le::getI32(&p[1]));
        break;
    }
    case 130:
        if (p[0] == 0) {
            homeAxisLocked(x_e);
            homeAxisLocked(y_e);
        } else if (axisOk(p[0])) {
            homeAxisLocked(p[0]);
        }
        break;
    case 131:
        if (axisOk(p[0])) {
            const bool on = p[1] != 0;
            powered_[p[0]] = on;
            if (!on) {
                homed_[p[0]] = false;
                if (p[0] == x_e || p[0] == y_e) {
                    xyWasUnpowered_ = true;
                    handMoved_ = false;
                }
            }
        }
        break;
    case 134:
        moveAxisLocked(x_e, pos_[x_e] + le::getI32(&p[0]));
        moveAxisLocked(y_e, pos_[y_e] + le::getI32(&p[4]));
        break;
    case 135:
        moveAxisLocked(x_e, le::getI32(&p[0]));
        moveAxisLocked(y_e, le::getI32(&p[4]));
        break;
    case 136:
        // The arc ends where it began.
        noteLocked(penDown_ ? "arc drawn" : "arc with the pen up");
        break;
    case 137:
        if (axisOk(p[0]))
            pos_[p[0]] = le::getI32(&p[1]);
        break;
    case 138:
        initialiseMachineLocked();
        break;
    case 139:
        measureHeightLocked();
        break;
    case 140:
        takeToolLocked(p[0]);
        break;
    case 141:
        returnToolLocked();
        break;
    case 142:
        ironLocked();
        break;
    case 143:
        trimLocked();
        break;
    case 144:
        feedLocked();
        break;
    case 145:
        feedLocked();
        if (error_ == 0) {
            ironLocked();
            trimLocked();
        }
        break;
    case 150:
        penDown_ = p[0] != 0;
        break;
    case 151:
        ironHooked_ = p[0] != 0;
        break;
    case 154:
        moveAxisLocked(y_e, wordLocked(75));
        break;
    case 159:
        searchXYHomeLocked();
        break;
    case 161:
        moveAxisLocked(feeder_e, 0);
        sheetFed_ = false;
        break;
    case 162:
        // The label is drawn from (x, y) and the head ends there.
        moveAxisLocked(x_e, le::getI32(&p[0]));
        moveAxisLocked(y_e, le::getI32(&p[4]));
        break;
    case 164:
        feederStepLocked(le::getU32(&p[0]));
        break;
    case 165:
        homeAxisLocked(pump_e);
        break;
    default:
        noteLocked(simTraceNote_t() << "command " << action.code << ": nothing to do");
        break;
    }
}

void simPrinter_t::moveAxisLocked(int axis, std::int64_t target)
{
    const auto a = static_cast<std::size_t>(axis);
    if (!powered_[a]) {
        noteLocked(simTraceNote_t() << "axis " << static_cast<std::uint8_t>(axis) << " not powered: no motion");
        return;
    }
    const std::int64_t low = axis == y_e ? wordLocked(79) : 0;
    const std::int64_t high = std::max<std::int64_t>(wordLocked(74 + axis), low);
    pos_[a] = std::clamp(target, low, high);
    if (axis == z_e)
        heightTouch_ = false;
    if (axis == x_e || axis == y_e)
        searchReported_ = false;
}

void simPrinter_t::homeAxisLocked(int axis)
{
    const auto a = static_cast<std::size_t>(axis);
    if (!powered_[a]) {
        noteLocked(simTraceNote_t() << "axis " << static_cast<std::uint8_t>(axis) << " not powered: not homed");
        return;
    }
    pos_[a] = 0;
    homed_[a] = true;
    if (axis == z_e)
        heightTouch_ = false;
    if (axis == x_e || axis == y_e)
        searchReported_ = false;
}

void simPrinter_t::takeToolLocked(int tool)
{
    bool usable = tool >= 0 && tool < paramLayout::toolCount;
    if (usable) {
        const std::size_t base = static_cast<std::size_t>(paramLayout::toolTableByte + tool * paramLayout::toolRecordBytes);
        bool allCD = true;
        for (std::size_t i = 0; i < static_cast<std::size_t>(paramLayout::toolRecordBytes); ++i)
            allCD = allCD && paramImage::getByte(std::span<const std::int32_t>(memory_), base + i) == 0xCD;
        const std::uint8_t flags = paramImage::getByte(std::span<const std::int32_t>(memory_), base);
        usable = !allCD && (flags & 0x80u) != 0;
        if (usable && tool >= 4 && tool <= 6 && penMissing_[static_cast<std::size_t>(tool)] && tool_ != tool) {
            setStateLocked(11);
            return;
        }
        if (usable) {
            if (tool_ >= 0)
                returnToolLocked();
            tool_ = tool;
            physicalTool_ = flags & 0x3Fu;
            penDown_ = false;
            return;
        }
    }
    noteLocked(simTraceNote_t() << "tool " << static_cast<std::uint8_t>(tool) << " cannot be taken");
    if (config_.autoErrors)
        setErrorLocked(32);
}

void simPrinter_t::returnToolLocked()
{
    tool_ = -1;
    physicalTool_ = 0;
    penDown_ = false;
}

void simPrinter_t::feedLocked()
{
    if (!media_) {
        if (config_.autoErrors)
            setErrorLocked(37);
        return;
    }
    moveAxisLocked(feeder_e, pos_[feeder_e] + layerLength_);
    sheetFed_ = true;
}

std::int32_t simPrinter_t::layerThicknessLocked(std::int32_t modelThickness) const
{
    const double dz = wordLocked(115);
    const double t = modelThickness - config_.thicknessGain * (dz - config_.bestDz);
    return static_cast<std::int32_t>(std::clamp(std::llround(t), 0LL, 10000000LL));
}

void simPrinter_t::ironLocked()
{
    if (!sheetFed_)
        return;
    const std::int32_t thickness =
        layerThicknessLocked(buildOpenLocked() ? build_->model.thickness : simModelFile_t::defaultThickness);
    stack_ += thickness;
    if (buildOpenLocked())
        build_->lastThickness = thickness;
    sheetFed_ = false;
}

void simPrinter_t::trimLocked()
{
    // The sheet is cut off at the trim line: what was not ironed is lost.
    pos_[feeder_e] = 0;
    sheetFed_ = false;
}

void simPrinter_t::measureHeightLocked()
{
    const std::int64_t touch = tableZero_ - stack_;
    moveAxisLocked(z_e, touch);
    zHeight_ = static_cast<std::int32_t>(touch);
    measuredHeight_ = static_cast<std::int32_t>(wordLocked(23) - touch);
    heightTouch_ = true;
}

void simPrinter_t::searchXYHomeLocked()
{
    // The search drives the XY motors whatever the technician switched off.
    if (xyWasUnpowered_ && !handMoved_) {
        pos_[x_e] = config_.handX;
        pos_[y_e] = config_.handY;
    }
    powered_[x_e] = true;
    powered_[y_e] = true;
    const std::int32_t travelX = stepsLocked(x_e, pos_[x_e]);
    const std::int32_t travelY = stepsLocked(y_e, pos_[y_e]);
    homeAxisLocked(x_e);
    homeAxisLocked(y_e);
    searchX_ = static_cast<std::int16_t>(std::clamp(travelX, -32768, 32767));
    searchY_ = static_cast<std::int16_t>(std::clamp(travelY, -32768, 32767));
    searchReported_ = true;
    xyWasUnpowered_ = false;
}

void simPrinter_t::feederStepLocked(std::uint32_t mask)
{
    if (!media_ || (mask & (256u | 16u)) == 0)
        return;
    const bool encoder = (mask & 256u) != 0;
    const std::int64_t period = std::max<std::int64_t>(encoder ? config_.encoderPeriod : config_.rollPeriod, 2);
    const std::int64_t on = period * std::clamp(encoder ? config_.encoderDuty : config_.rollDuty, 0, 100) / 100;
    const std::int64_t position = pos_[feeder_e];
    const std::int64_t phase = ((position % period) + period) % period;
    const std::int64_t edge = phase < on ? position + (on - phase) : position + (period - phase);
    moveAxisLocked(feeder_e, edge);
}

void simPrinter_t::command132Locked()
{
    switch (state_) {
    case 5:
        setStateLocked(stateBefore5_ == 4 || stateBefore5_ == 5 ? 7 : stateBefore5_);
        break;
    case 2:
        if (!buildOpenLocked())
            setStateLocked(7);
        break;
    case 6:
        leaveSleepLocked();
        break;
    default:
        break;
    }
}

void simPrinter_t::enterTechnicianLocked()
{
    if (state_ == 2 || state_ == 4 || state_ == 7)
        setStateLocked(5);
    else if (state_ != 5)
        noteLocked(simTraceNote_t() << "command 146: refused in state " << state_);
}

void simPrinter_t::initialiseMachineLocked()
{
    setErrorLocked(0);
    powered_.fill(true);
    for (int axis = 0; axis < axisCount; ++axis)
        homeAxisLocked(axis);
    returnToolLocked();
    ironHooked_ = false;
    initialised_ = true;
}

void simPrinter_t::leaveSleepLocked()
{
    if (config_.warmUpMs == 0) {
        setStateLocked(7);
        return;
    }
    wakeEndsAt_ = now_ + config_.warmUpMs;
}
