// One run of one technician script: opens the trace log, parses the script,
// executes its main statement and turns any error into one report. It also
// holds what the built-ins share with the run: the machine device, the
// counters and the trace log. While a run lasts the context is reachable
// through current().
#pragma once
#include "machine/longnameStream.h"
#include "machine/runLink.h"
#include "machine/sharedLock.h"
#include "procedures/script/batchErrorReport.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStmt.h"
#include "procedures/script/userFuncDefnList.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class qvrClientDev_t;

class batchRunContext_t {
public:
    static constexpr const char* defaultTracePath = "\\batchTrace.log";

    struct counter_t {
        std::int32_t id = 0;
        std::int32_t value = 0;
        std::int32_t printEvery = 1;  // at least 1
    };

    batchRunContext_t(qvrClientDev_t* device, std::wstring scriptPath,
                      std::string tracePath = defaultTracePath);
    ~batchRunContext_t();
    batchRunContext_t(const batchRunContext_t&) = delete;
    batchRunContext_t& operator=(const batchRunContext_t&) = delete;

    // The running script's context, or none.
    static batchRunContext_t* current();
    static void setCurrent(batchRunContext_t* context);
    // Makes the context current only when none is, in one step, so that of
    // two runs starting together exactly one goes on; false when another
    // context is current.
    static bool claimCurrent(batchRunContext_t* context);

    // Runs the script. Returns when it ran to its end; otherwise raises a
    // std::runtime_error whose text is the whole report (or "can't open "
    // and the path when the script cannot be read).
    void run(batchStopTest_t stopTest);
    // Parses and executes; the error text, empty when all went well.
    std::string parseAndExecute();

    qvrClientDev_t* device() const { return device_; }
    // False once the link that was up when the run began has been lost,
    // even when a new one is up: the machine built-ins send nothing then.
    // True without a device, or when no link was up at the start.
    bool onRunLink() const;
    const std::wstring& scriptPath() const { return scriptPath_; }
    const std::string& tracePath() const { return tracePath_; }
    const batchErrorPlace_t& errorPlace() const { return errorPlace_; }

    // The counter built-ins; each holds the context's lock.
    void resetCounter(std::int32_t id);
    void increaseCounter(std::int32_t id);
    void setCounterPrintEvery(std::int32_t id, std::int32_t every);
    std::optional<counter_t> counter(std::int32_t id) const;

private:
    counter_t* findCounter(std::int32_t id);
    void releaseTree();

    sharedLock_t lock_;
    qvrClientDev_t* device_;
    // The link that was up when the run began; a run that began without one
    // (a script checked off-line) has none to lose.
    runLink_t runLink_;
    std::atomic<bool> startedOnLink_{false};
    std::wstring scriptPath_;
    std::string tracePath_;
    userFuncDefnList_t definitions_;
    std::vector<counter_t> counters_;
    std::unique_ptr<longname_ofstream> trace_;
    batchStmtPtr_t main_;
    batchErrorPlace_t errorPlace_;
};
