// simPrinter_t: one simulated printer behind the stand-in machines server.
//
// It plays the printer's embedded software at packet level and knows nothing
// of sockets or of the server's words. The server hands it each device packet
// that a client sent inside "CMND" and puts what comes back after "RESP":
//
//   simReply_t r = printer.handleCommand(bytes, n, connection);  // [code][payload]
//   packet_e    -> send "RESP" + r.packet at once
//   pending_e   -> an awaited action (machine state 5) or a command 19 behind
//                  queued actions; send nothing until printer.awaitReply(
//                  r.ticket, ...) or pollReply gives the packet (type 10 or 13)
//   none_e      -> a scripted fault: do not answer
//   malformed_e -> not a device packet: answer "ERROR"
//
// The reply type is what the client's pairing rules need: 1 for the status
// poll 1, 11 for 12, 10 for 147 and for every action awaited in state 5, 13
// only for 19 (once the action list is empty), 7 for memory chunks (5), 9 for
// layer records (10), 2 for the commands that are only queued (3, 8, 14, 160,
// pump moves with axis byte 0x83) and the state commands (4, 132, 146, 158),
// 2 for actions outside state 5, which then run in the background, and 4 for
// actions refused in states 1, 3 and 6 or with an error number set.
//
// Time: the printer runs on its own clock, driven by its owner: advance(ms)
// in tests, tickRealTime() from a thread of the server. Actions, layers of a
// build, initialisation and the idle sleep all wait on that clock.
//
// Around the packets: harness events (front-panel PAUSE and RESUME, door,
// media, temperature, model removal, power cycle, errors, forced sensors),
// the build queue (models read from .ZS files, built layer by layer with
// layer records and model information), the logs written into the machine's
// folder tree, scripted faults, a trace of every packet, and events that tell
// the server which notices to send. Every public operation is thread-safe.
#pragma once
#include "machine/errorHistory.h"
#include "machine/fileInfo.h"
#include "machine/fileSendParams.h"
#include "machine/machineInfo.h"
#include "machine/machineParam.h"
#include "machine/machineStatus.h"
#include "machine/qvrHostModelInfo.h"
#include "standins/wendaro/simEvent.h"
#include "standins/wendaro/simFaultRule.h"
#include "standins/wendaro/simLayerRecord.h"
#include "standins/wendaro/simMachineLogs.h"
#include "standins/wendaro/simModelFile.h"
#include "standins/wendaro/simPrinterConfig.h"
#include "standins/wendaro/simRandom.h"
#include "standins/wendaro/simReply.h"
#include "standins/wendaro/simRing.h"
#include "standins/wendaro/simTrace.h"
#include "standins/wendaro/simTraceNote.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class simPrinter_t {
public:
    // Axes of the machine commands.
    enum axis_e : int { x_e = 0, y_e = 1, z_e = 2, pump_e = 3, feeder_e = 4 };
    static constexpr int axisCount = 5;
    // Longest time one action may take: the client gives an awaited command
    // 60000 ms.
    static constexpr std::uint32_t maxActionMs = 55000;

    explicit simPrinter_t(simPrinterConfig_t config = {});
    simPrinter_t(const simPrinter_t&) = delete;
    simPrinter_t& operator=(const simPrinter_t&) = delete;
    ~simPrinter_t();

    // ---- Packets ----------------------------------------------------------
    // One device packet: [code][payload]. connection tells the trace and the
    // pending replies apart (0 is fine for a single client).
    simReply_t handleCommand(const std::uint8_t* packet, std::size_t n, std::uint32_t connection = 0);
    simReply_t handleCommand(const std::vector<std::uint8_t>& packet, std::uint32_t connection = 0);
    // The bytes of "CMND" as the client queues them: [n][code][payload] with
    // n = 1 + payload bytes. A length byte that does not match is malformed.
    simReply_t handleQueuedPacket(const std::uint8_t* bytes, std::size_t n, std::uint32_t connection = 0);
    // A pending reply: packet_e once ready (the ticket is then spent),
    // pending_e while the action runs, none_e when it was withheld by a
    // fault, cancelled or unknown.
    simReply_t pollReply(std::uint64_t ticket);
    simReply_t awaitReply(std::uint64_t ticket, std::chrono::milliseconds timeout);
    // The client is gone: its reply is dropped (the action still runs).
    // A blocked awaitReply returns none_e.
    void cancelReply(std::uint64_t ticket);
    void dropConnection(std::uint32_t connection);

    // ---- Clock ------------------------------------------------------------
    void advance(std::uint64_t ms);
    // Advances by the real time since the previous call (or since
    // construction) times the configured time scale.
    void tickRealTime();
    std::uint64_t nowMs() const;
    // No action running or waiting.
    bool actionsIdle() const;

    // ---- Front panel and harness events ----------------------------------
    // PAUSE: state 1 or 7 -> 2; during an action awaited in state 5 the
    // client gets reply type 12 and the machine is paused.
    void pressPause(const std::wstring& user = L"Front panel");
    // RESUME: clears the error; 2, 8, 9, 10 -> 1 (open build) or 7;
    // 5 -> the state before 5; 11 -> the state before 11.
    void pressResume();
    void setDoorOpen(bool open);
    void setDoorThrown(bool thrown);
    void setMedia(bool present);
    void setTemperature(int degrees);  // 255: not available
    // The model leaves the table: building and model-end flags clear, the
    // stack is gone, state 4 -> 7, the next queued model may start.
    void removeModel();
    void sleepNow();
    // Power off and on: axes not homed, no tool; state 10 when a build was
    // open, else 3 (initialising) then 7.
    void powerCycle();
    void setError(std::uint8_t number);
    void clearError();
    // Sensor bits stuck on or off whatever the machine does, until released.
    void forceSensors(std::uint32_t mask, bool on);
    void releaseSensors(std::uint32_t mask);
    // The technician pushes the head by hand (nm); nothing is homed by it.
    void manualMoveXY(std::int32_t x, std::int32_t y);
    // A pen (tool 4, 5 or 6) missing from its rack place: taking it gives
    // state 11 ("Check Pen").
    void setPenMissing(int tool, bool missing);
    // Puts the machine into any state 1 to 11 (8, 9 and 10 are reached only
    // this way or by a power cycle).
    void setState(std::uint8_t state);
    // Height of the table top as the height sensor finds it (nm).
    void setTableZero(std::int32_t nm);

    // ---- Records and memory ------------------------------------------------
    machineStatus_t status() const;
    machineInfo_t info() const;
    std::uint8_t machineState() const;
    std::uint8_t errorNumber() const;
    parameterMemory_t memory() const;
    std::int32_t memoryWord(int index) const;  // 0 outside 0-1023
    void setMemoryWord(int index, std::int32_t value);
    // Layer records 0 (the table before the first layer) to count of the
    // current or last build; count is status offset 42.
    std::int32_t layerRecordCount() const;
    std::optional<simLayerRecord_t> layerRecord(int index) const;
    bool setLayerRecord(int index, const simLayerRecord_t& record);
    qvrHostModelInfo_t modelInfo() const;
    fileInfo_t fileInfo() const;
    // Seconds left of the current build and the threshold percentage, the
    // pair of "HASNEWTIMEEST".
    std::pair<std::uint32_t, std::uint32_t> timeEstimate() const;
    // The current or last error, as "ERRORLOGINFO" carries it.
    errorHistory_t errorHistory() const;
    std::int64_t position(int axis) const;  // nm; 0 for an unknown axis
    std::int64_t stackHeight() const;       // nm of model on the table
    int currentTool() const;                // -1: none

    // ---- Build queue ------------------------------------------------------
    // Reads the model file named by the request's path and queues it. The
    // index in the queue list (0 = the model being built, or the next one),
    // or nothing when the file cannot be read as a model.
    std::optional<std::int32_t> queueModel(const fileSendParams_t& request);
    // The same with the record the build page would send.
    std::optional<std::int32_t> queueModelFile(const std::wstring& path);
    // The model being built (while a build is open) first, then the waiting.
    std::vector<fileSendParams_t> queueList() const;
    std::uint32_t queueChangeCount() const;
    // Waiting entries only; index as in queueList.
    bool removeFromQueue(std::int32_t index);
    bool moveInQueue(std::int32_t from, std::int32_t to);
    void clearQueue();
    void setQueuePaused(bool paused);
    bool isQueuePaused() const;
    // Index 0 or below: the model being built (true when one was); above:
    // that queue entry.
    bool cancelBuild(std::int32_t index);

    // ---- Logs -------------------------------------------------------------
    void setLogWriting(bool on);
    // One line of the daily log (the server logs its connections this way).
    void appendDailyLog(const std::wstring& text);
    // One line of the brief log (the server notes who took control).
    void appendBriefLog(const std::wstring& text);
    bool writeEmbeddedVersionFile();
    std::wstring machineFolder() const;
    std::wstring dailyLogPath() const;  // today's, by the log clock
    std::wstring modelLogPath() const;  // of the current or last build

    // ---- Faults, trace, events --------------------------------------------
    void addFault(const simFaultRule_t& rule);
    void clearFaults();
    simTrace_t& trace() { return trace_; }
    const simTrace_t& trace() const { return trace_; }
    // Events since the last call, oldest first (the newest 10000 are kept).
    std::vector<simEvent_t> takeEvents();
    const simPrinterConfig_t& config() const { return config_; }

private:
    enum class marker_e { command_e, statusReply_e, enterTechnician_e };
    struct action_t {
        marker_e marker = marker_e::command_e;
        std::uint8_t code = 0;
        std::vector<std::uint8_t> payload;
        std::uint32_t connection = 0;
        std::uint64_t ticket = 0;  // 0: nobody waits for it
        std::uint32_t duration = 0;
        bool fail = false;
        int failError = 0;
    };
    struct pending_t {
        std::uint32_t connection = 0;
        bool ready = false;
        bool silent = false;  // withheld by a fault, or cancelled
        int typeOverride = -1;
        std::vector<std::uint8_t> packet;
    };
    struct build_t {
        simModelFile_t model;
        // What the build page sent, for queued models. Held apart: a
        // request carries upload streams that cost to make, and a build is
        // moved along several times (the test model has none).
        std::unique_ptr<fileSendParams_t> request;
        bool fromQueue = false;
        std::wstring user;
        bool loading = false;
        std::uint64_t loadingEndsAt = 0;
        bool running = false;  // open: started and not ended
        std::int32_t layersDone = 0;
        int phase = 0;  // 0 feed, 1 delay, 2 iron, 3 draw, 4 trim
        std::uint64_t phaseElapsed = 0;
        std::uint64_t elapsedMs = 0;
        std::int32_t layerLength = 0;
        std::int32_t lastThickness = 0;
        std::wstring modelLogPath;
    };
    struct faultState_t {
        simFaultRule_t rule;
        int seen = 0;
        int acted = 0;
    };

    // simPrinter.cpp: packets, replies, clock, faults, events, accessors.
    simReply_t handleLocked(const std::uint8_t* packet, std::size_t n, std::uint32_t connection);
    std::optional<simFaultRule_t> matchFaultLocked(std::uint8_t code, std::uint32_t connection);
    simReply_t finishReplyLocked(std::vector<std::uint8_t> packet, std::uint32_t connection,
                                 const std::optional<simFaultRule_t>& fault);
    std::uint64_t newPendingLocked(std::uint32_t connection, const std::optional<simFaultRule_t>& fault);
    void resolvePendingLocked(std::uint64_t ticket, std::vector<std::uint8_t> packet);
    simReply_t takeReadyLocked(std::uint64_t ticket);
    void advanceLocked(std::uint64_t target);
    std::uint64_t nextDueLocked() const;
    // In state 1 with an open build and no action, timer or operator
    // waiting: only the build's next phase can fall due.
    bool buildAloneLocked() const;
    bool runDueLocked();
    void passTimeLocked(std::uint64_t dt);
    void settleLocked() { advanceLocked(now_); }
    std::time_t wallTimeLocked() const;
    void traceLocked(simTraceEntry_t::kind_e kind, std::uint32_t connection, int code,
                     std::span<const std::uint8_t> bytes, std::string_view note);
    void noteLocked(std::string_view note) { traceLocked(simTraceEntry_t::kind_e::event_e, 0, -1, {}, note); }
    void noteLocked(const simTraceNote_t& note) { noteLocked(note.view()); }
    void eventLocked(simEvent_t::kind_e kind, std::wstring text = std::wstring(), std::uint32_t connection = 0);
    // The log lines cost nothing while the logs are off: callers that put a
    // line together first ask logging().
    bool logging() const { return logs_.enabled(); }
    void dailyLocked(std::wstring_view text);
    void briefLocked(std::wstring_view text);
    void setStateLocked(std::uint8_t state, std::wstring_view pausingUser = L"Front panel");
    void setErrorLocked(std::uint8_t number);

    // simPrinterRecords.cpp: the records as bytes, sensors, memory.
    std::vector<std::uint8_t> statusPacketLocked(std::uint8_t type) const;
    std::vector<std::uint8_t> infoPacketLocked() const;
    machineStatus_t statusLocked() const;
    machineInfo_t infoLocked() const;
    std::uint32_t sensorWordLocked() const;
    std::uint32_t flagsWordLocked() const;
    std::int32_t wordLocked(int index) const;
    std::int32_t stepsLocked(int axis, std::int64_t nm) const;
    bool patternOnLocked(std::uint32_t mask, std::int64_t feeder) const;
    std::vector<std::uint8_t> readChunkLocked(std::span<const std::uint8_t> payload);
    bool writeWordLocked(std::span<const std::uint8_t> payload, std::uint32_t connection);
    bool writeBlockLocked(std::span<const std::uint8_t> payload, std::uint32_t connection);
    void initialiseMemory();

    // simPrinterCommands.cpp: commands and the physics of actions.
    simReply_t dispatchLocked(std::uint8_t code, std::span<const std::uint8_t> payload, std::uint32_t connection,
                              const std::optional<simFaultRule_t>& fault);
    simReply_t actionLocked(std::uint8_t code, std::span<const std::uint8_t> payload, std::uint32_t connection,
                            const std::optional<simFaultRule_t>& fault);
    void enqueueLocked(action_t action);
    // A command that fails by a fault rule: no effect, the rule's error.
    void failLocked(int code, int error);
    void startHeadLocked();
    void completeHeadLocked();
    void performLocked(const action_t& action);
    bool isMotionCommand(std::uint8_t code) const;
    void moveAxisLocked(int axis, std::int64_t target);
    void homeAxisLocked(int axis);
    void takeToolLocked(int tool);
    void returnToolLocked();
    void feedLocked();
    void ironLocked();
    void trimLocked();
    void measureHeightLocked();
    void searchXYHomeLocked();
    void feederStepLocked(std::uint32_t mask);
    std::int32_t layerThicknessLocked(std::int32_t modelThickness) const;
    void command132Locked();
    void pressResumeLocked();
    // simPrinterOperator.cpp: the demonstration's technician at the front panel.
    void armOperatorLocked(std::uint8_t code, bool awaited);
    bool runOperatorLocked();
    std::uint64_t operatorDueLocked() const;
    void enterTechnicianLocked();
    void initialiseMachineLocked();
    void leaveSleepLocked();

    // simPrinterBuild.cpp: queue, builds and the layer cycle.
    void tryStartBuildLocked();
    void startBuildLocked(build_t build);
    void beginBuildingLocked();
    void runBuildPhaseLocked();
    void finishLayerLocked();
    void endBuildLocked(bool completed);
    std::uint64_t phaseLengthLocked() const;
    std::int32_t listIndexToWaitingLocked(std::int32_t index) const;
    static fileSendParams_t requestOf(const build_t& build);
    void queueChangedLocked();
    bool buildOpenLocked() const { return build_ && build_->running; }
    // simPrinterTrouble.cpp: what goes wrong now and then in a layer.
    void addLayerTroubleLocked(simLayerRecord_t& record);

    simPrinterConfig_t config_;
    mutable std::mutex mutex_;
    std::condition_variable replyReady_;
    simTrace_t trace_;
    simMachineLogs_t logs_;
    simRandom_t random_;
    // Its own noise, so that the trouble leaves the other record fields
    // as they were for a seed.
    simRandom_t troubleRandom_{config_.seed ^ 0x5bd1e995u};

    // Clock.
    std::uint64_t now_ = 0;
    std::chrono::steady_clock::time_point realTimeBase_;
    double realTimeCarry_ = 0.0;
    std::uint64_t lastActivity_ = 0;
    std::optional<std::uint64_t> initEndsAt_;
    std::optional<std::uint64_t> wakeEndsAt_;

    // States.
    std::uint8_t state_ = 7;
    std::uint8_t stateBefore5_ = 7;
    std::uint8_t stateBefore11_ = 7;
    std::uint8_t error_ = 0;
    std::time_t errorTime_ = 0;
    std::uint8_t lastError_ = 0;
    bool initialised_ = true;

    // Axes, in nanometres.
    std::array<std::int64_t, axisCount> pos_{};
    std::array<bool, axisCount> powered_{};
    std::array<bool, axisCount> homed_{};
    bool handMoved_ = true;
    bool xyWasUnpowered_ = false;
    std::int16_t searchX_ = 0;  // machine information 36, 38 after command 159
    std::int16_t searchY_ = 0;
    bool searchReported_ = false;

    // Sensors and the rest of the machine.
    bool door_ = false;
    bool doorThrown_ = false;
    bool media_ = true;
    int temperature_ = 35;
    std::uint32_t forcedOn_ = 0;
    std::uint32_t forcedOff_ = 0;
    int tool_ = -1;
    std::uint8_t physicalTool_ = 0;
    std::array<bool, 12> penMissing_{};
    bool penDown_ = false;
    bool ironHooked_ = false;
    bool heightTouch_ = false;
    bool valveOn_ = false;
    bool sheetFed_ = false;
    std::int32_t layerLength_ = 0;
    std::int32_t measuredHeight_ = 0;
    std::int32_t zHeight_ = 0;
    std::int32_t tableZero_ = 0;
    std::int64_t stack_ = 0;
    std::uint64_t runningMs_ = 0;
    std::array<std::uint8_t, 6> nextBuildOptions_{};

    // Parameter memory.
    parameterMemory_t memory_{};

    // Actions and replies.
    std::deque<action_t> actions_;
    bool headRunning_ = false;
    std::uint64_t headEndsAt_ = 0;
    std::map<std::uint64_t, pending_t> pending_;
    std::uint64_t nextTicket_ = 1;

    // Builds.
    std::optional<build_t> build_;         // current or last build
    bool modelOnTable_ = false;            // flags bit 9
    bool modelEnded_ = false;              // flags bit 14
    std::deque<build_t> waiting_;
    bool queuePaused_ = false;
    std::uint32_t queueChanges_ = 0;
    std::vector<simLayerRecord_t> records_;  // 0 .. layers done
    qvrHostModelInfo_t modelInfo_;
    fileInfo_t fileInfo_;

    std::vector<faultState_t> faults_;
    // When the front-panel operator presses RESUME, and the activity stamp
    // at arming (any command since disarms it).
    std::optional<std::uint64_t> operatorPressAt_;
    std::uint64_t operatorArmedActivity_ = 0;
    // The newest events only, for a server that stopped taking them.
    static constexpr std::size_t eventCapacity = 10000;
    simRing_t<simEvent_t> events_{eventCapacity};
};
