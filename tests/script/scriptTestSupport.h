// Shared by the script tests: a fixture with its own prefix that writes a
// script, runs it and collects what it wrote to standard output, the trace
// log and the error report.
#pragma once
#include "procedures/script/batchRunState.h"
#include "tests/support/tempPrefix.h"

#include <iostream>
#include <sstream>
#include <string>

struct scriptRun_t {
    bool ok = false;
    std::string error;   // the text of the run's error
    std::string out;     // standard output during the run
    std::string trace;   // the trace log's bytes on disk
};

// Text as a text-mode file holds it on disk: each LF is CR LF.
std::string onDisk(const std::string& text);

// Sends std::cout into a string for its lifetime.
class coutCapture_t {
public:
    coutCapture_t() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
    ~coutCapture_t() { std::cout.rdbuf(previous_); }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

class scriptTest : public prefixTest {
protected:
    // The start-up state of what outlives runs (global cells, unit mode).
    void SetUp() override;

    static constexpr const wchar_t* scriptPath = L"C:/scripts/test.txt";
    scriptRun_t run(const std::string& source, batchStopTest_t stopTest = {});
    scriptRun_t runFile(const std::wstring& path, batchStopTest_t stopTest = {});
};
