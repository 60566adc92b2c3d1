// A built program run as its own process, as a person would start it: its
// own current folder, the test's environment (hence its prefix) with a few
// variables added, standard output and error into one file that the test
// reads. The destructor kills and reaps a program still running.
#pragma once
#include "tests/support/waitUntil.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class programProcess_t {
public:
    struct options_t {
        std::vector<std::string> args;
        std::string folder;                                   // current folder; empty: the test's
        std::vector<std::pair<std::string, std::string>> env; // added or replaced
        std::string outputFile;                               // standard output and error
    };

    programProcess_t(const std::string& path, const options_t& options);
    ~programProcess_t();
    programProcess_t(const programProcess_t&) = delete;
    programProcess_t& operator=(const programProcess_t&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool hasEnded();
    // The exit code (-1 for a signal) once it has ended within the time.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    void kill(int signal);
    // What it has written so far.
    std::string output() const;

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    std::string outputFile_;
};
