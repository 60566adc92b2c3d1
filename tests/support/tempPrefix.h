// A fresh prefix in a temporary folder for one test: TZ=UTC, the identity
// user "tech" on computer "QVRTEST", the current folder inside its drive C
// (so relative paths stay inside). The folder is removed at the end and the
// previous current folder restored.
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>

class tempPrefix_t {
public:
    tempPrefix_t();
    ~tempPrefix_t();
    tempPrefix_t(const tempPrefix_t&) = delete;
    tempPrefix_t& operator=(const tempPrefix_t&) = delete;

    // The prefix folder and its drive C (Linux paths).
    const std::string& root() const { return root_; }
    std::string driveC() const { return root_ + "/drive_c"; }

private:
    std::string temp_;  // the temporary folder that holds the prefix
    std::string root_;
    std::string previousCwd_;
    std::optional<std::string> previousPrefix_;
};

// A test with its own temporary prefix.
class prefixTest : public ::testing::Test {
protected:
    tempPrefix_t prefix_;
};

// The folder of the built programs and files (Linux path; empty when unknown).
std::string buildBinFolder();
// The Linux path for a system path (test failure when it cannot be mapped).
std::string linuxPathOf(const std::wstring& systemPath);
// Raw bytes of a file by system path, without any text translation.
// Writing creates missing parent folders.
bool writeRawFile(const std::wstring& systemPath, const std::string& bytes);
std::optional<std::string> readRawFile(const std::wstring& systemPath);
