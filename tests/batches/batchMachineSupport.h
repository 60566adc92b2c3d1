// Procedures against a simulated printer: the in-process machines server
// with machine 1, a client device connected with control access, made the
// global client device and brought into the technician state (5).
#pragma once
#include "link/qvrClientDev.h"
#include "machine/sharedLock.h"
#include "procedures/batches/baseStaticBatch.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/batches/commandBytes.h"
#include "tests/support/packetRecorder.h"
#include "tests/support/queueWindow.h"
#include "tests/support/tempPrefix.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class baseStaticBatch_t;

// The owner window of a procedure under test: it keeps the posted messages
// as queueWindow_t does and, at the first stage change posted that the test
// chose, runs an action at once on the posting (the worker) thread, after
// the stage record was written. A Cancel pressed there (the abort event set)
// falls at the same point of the procedure in every run. The choice and the
// action run under the window table's lock: they must not post to a window
// nor wait for one.
class stageWindow_t : public queueWindow_t {
public:
    ~stageWindow_t() override;
    // A new call replaces the previous choice; an empty action clears it.
    void onStage(std::function<bool(int stage, int state)> when, std::function<void()> action);
    // The given stage change for the given time (occurrence counts from 1).
    void onStage(int stage, int state, int occurrence, std::function<void()> action);
    void deliver(unsigned message, WPARAM wParam, LPARAM lParam) override;

    // What the progress window shows of the procedure at each stage change
    // it posts, in order: "stage name: Result", the record as it stood when
    // posted (a stroke or a countdown overwrites its text at once).
    void recordShown(const baseStaticBatch_t* batch);
    std::vector<std::wstring> takeShown();

private:
    std::mutex lock_;
    std::function<bool(int, int)> when_;
    std::function<void()> action_;
    const baseStaticBatch_t* shownOf_ = nullptr;
    std::vector<std::wstring> shown_;
};

class batchMachineThreadsTest : public prefixTest {
protected:
    static constexpr std::uint32_t machineId = 1;
    // "Y Step Size" of the fixture's printer; X keeps the factory's 21892.
    static constexpr int yStepSizeWord = 65;
    static constexpr std::int32_t yStepSize = 22841;

    void SetUp() override;
    void TearDown() override;

    // The printer and the trace are the server's: gone once it is stopped.
    wendaroServer_t& server() { return *server_; }
    simPrinter_t& printer() { return server_->printer(machineId); }
    qvrClientDev_t& device() { return *device_; }
    // Where the device posts its notifications (WM_USER+222).
    queueWindow_t& deviceWindow() { return deviceWindow_; }
    // The codes of the commands the printer received from the mark on,
    // without the status polls (1, 12); given `over`, only those that came
    // over the connections it takes.
    std::uint64_t mark() const;
    std::vector<int> codesSince(std::uint64_t from, const std::function<bool(std::uint32_t)>& over = {}) const;

    // Two records of the commands, each as [code][payload]. The printer's
    // trace shows the wire as it was (after the device's queue refused a
    // packet equal to one still waiting there), but only with the polls
    // stopped, so it suits procedures that wait on nothing the polls bring.
    // The device's record keeps what was handed to it, refused packets too,
    // while the polls run on and stay out of it.

    // The device stops its status polls (1 and 12) and every packet it
    // queued before has reached the printer: from the mark returned on, the
    // printer receives only what the test makes the device send.
    std::uint64_t stopPollsAndMark();
    // The commands the printer received from the mark on, in order, 1 and
    // 12 included. Waits first until every packet the device has queued so
    // far has arrived. Given `over`, only what came over the connections it
    // takes (by the server's connection id).
    commandList_t commandsSince(std::uint64_t from, const std::function<bool(std::uint32_t)>& over = {});

    // What the procedure, its dialogs and the test handed to the device, by
    // any thread but the device's own, from the mark on.
    std::size_t sentCommandsMark() const { return device_->sentCount(); }
    commandList_t sentCommandsSince(std::size_t from) const { return device_->bytesSince(from); }

    // The device's own value of a parameter (nothing is sent): what a
    // procedure reads.
    void setDeviceParam(const wchar_t* name, std::int32_t value);

    // A fixture may set its printer up differently before the server starts.
    virtual void configure(simPrinterConfig_t&) {}

    // The printer sets error 7 as the next command with this code arrives,
    // and so does not carry it out.
    void failNextCommand(int code);

    // Plays the progress window: runs the worker job on a thread, hands
    // completed stages to onStageCompleted on this thread, and the status
    // reply to the procedure's second event, as the main dialog does.
    // `onPost` sees every posted stage change first. The stage changes
    // posted, in order, as (stage, state).
    std::vector<std::pair<int, int>> drive(baseStaticBatch_t& batch, queueWindow_t& window,
                                           const std::function<void(int, int)>& onPost = {});

    bool waitDeviceState(int state);
    bool enterTechnicianMode();
    bool leaveTechnicianMode();

private:
    // Queues a status request (147, which no poll sends) and waits for it:
    // the device sends in order, so whatever it queued earlier has arrived.
    // Its trace number.
    std::uint64_t flushDevice();

    std::unique_ptr<wendaroServer_t> server_;
    queueWindow_t deviceWindow_;
    sharedLock_t lock_;
    std::unique_ptr<packetRecorder_t<qvrClientDev_t>> device_;
};
