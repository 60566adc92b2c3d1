// A technician script file run as a procedure with one stage, so that a
// script gets the progress window, the Cancel button and the machine checks
// of the coded procedures. The script runs on the worker thread; it stops
// when the machine reports an error or leaves state 5, and when the window
// closes while it runs.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <atomic>
#include <string>

class qvrFileBatch_t : public baseStaticBatch_t {
public:
    static constexpr const wchar_t* errorCaption = L"Error in batch!";

    // name: the display name, also the name of the single stage.
    qvrFileBatch_t(std::wstring name, std::wstring scriptPath);

    std::wstring name() const override { return name_; }
    // Returns at once (the stage stays in progress) when another script is
    // running. A script error shows its text in a box without an owner
    // (unless the machine itself reports an error) and fails the stage.
    void run() override;
    // Also ends the script at its next call or loop round.
    void stopForClose() override;

    const std::wstring& scriptPath() const { return scriptPath_; }

private:
    std::wstring name_;
    std::wstring scriptPath_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> running_{false};
};
