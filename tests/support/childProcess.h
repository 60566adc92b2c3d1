// Running part of a test in a second process: a test program can register
// helper functions by name, and a test starts the same program again running
// one of them (with the environment, hence the prefix, inherited). Used
// where the behaviour between processes is the point (registry, named
// mutexes, tick offsets).
#pragma once
#include "tests/support/waitUntil.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

using childMain_t = int (*)(const std::vector<std::string>& args);

struct childHelperRegistration_t {
    childHelperRegistration_t(const char* name, childMain_t function);
};

// QVR_CHILD_HELPER(name) { ... return exitCode; } with `args` in scope.
#define QVR_CHILD_HELPER(name)                                                              \
    static int name(const std::vector<std::string>& args);                                 \
    static const childHelperRegistration_t name##Registration(#name, &name);               \
    static int name([[maybe_unused]] const std::vector<std::string>& args)

// Called by main: runs the helper when argv asks for one.
std::optional<int> runChildHelperIfAsked(int argc, char** argv);

class childProcess_t {
public:
    childProcess_t() = default;
    ~childProcess_t();  // kills and reaps a child still running
    childProcess_t(const childProcess_t&) = delete;
    childProcess_t& operator=(const childProcess_t&) = delete;

    bool start(const std::string& helper, const std::vector<std::string>& args = {});
    pid_t pid() const { return pid_; }
    // The exit code, -1 for a signal; nothing when it did not end in time.
    std::optional<int> wait(std::chrono::milliseconds timeout = 30s);
    void kill(int signal);
    bool killedBySignal() const { return signalled_; }

private:
    pid_t pid_ = -1;
    bool signalled_ = false;
};
