// What the running script shares between its tree, its built-ins and the
// runner. Only one script runs at a time; everything here is used by the
// thread that runs it, except the stop flag, which any thread may set.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>

class userFuncDefnList_t;
class userFuncExec_t;

// Called before a function call with the call's line and the function's
// name, and, when that first call returned true, again after the call with
// its trace text. False means the machine is not fit to go on (the test has
// then set the stop flag).
using batchStopTest_t = std::function<bool(int line, const char* text)>;

struct batchRunState_t {
    static constexpr int cellCount = 10;

    // Ten cells that keep their values from one run to the next.
    static std::int32_t globalCells[cellCount];
    // The user-function call whose body is running, or none.
    static userFuncExec_t* currentUserFunc;
    // Set by every expression statement and every memory access.
    static std::int32_t lastValue;
    // The running script ends at its next call or loop round when set.
    static std::atomic<bool> stopRequested;
    static batchStopTest_t stopTest;
    // The run's trace log while a run lasts.
    static std::ostream* traceStream;
    // The definitions a call being parsed is bound against.
    static const userFuncDefnList_t* bindingDefinitions;
    // False binds every name that is no user function to the default
    // function: a check of a script's syntax that drives no machine and
    // never sleeps.
    static bool bindBuiltins;

    // Any thread: ends the running script at its next check.
    static void requestStop() { stopRequested.store(true); }

    // The check made before each call and at each round of a loop: a set
    // stop flag closes the result logs and raises
    // "EXECUTION INTERRUPTED BY STOP".
    static void checkStopFlag();
    // At each round of loop and while: the stop flag, then the stop test
    // (not traced), so that a loop that calls nothing can still be stopped.
    static void checkStopInLoop(int line, const char* what);
};
