// "Calibrate Trim": finds the trim knife's Y position. The machine irons two
// layers, draws fourteen numbered lines 0.2 mm apart and trims across them;
// the technician chooses the line the knife cut best, which gives the new
// "Trim Y initial". The chooser runs on the user-interface thread when the
// drawing stage has completed; the worker waits for its answer, then for the
// machine's status reply to command 19 (the second event, set by the main
// dialog), which comes once the drawing and the trim have run.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <atomic>
#include <cstdint>
#include <string>

class calibrateTrimBatch_t : public baseStaticBatch_t {
public:
    static constexpr int lineCount = 14;
    static constexpr int drawStage = 2;
    static constexpr DWORD secondEventLimitMs = 60000;
    static constexpr const wchar_t* firstTrimQuestion = L"Trim the layer manually, and press OK to resume.";
    static constexpr const wchar_t* removeQuestion =
        L"Trim the layer manually, and remove the layers from the table. Press OK to build a small testing block.";

    calibrateTrimBatch_t();

    std::wstring name() const override { return L"Calibrate Trim"; }
    void run() override;
    // User-interface thread: after the drawing stage, the number chooser.
    void onStageCompleted(int stage) override;
    // Iron unhooked, tool returned, bridge to the end position (not waited for).
    void onStopped(stageStatus_t status) override;

    // The chooser's first number for a "Trim Y initial" (nm): the line it
    // was drawn from, held to 1..14.
    static int initialNumber(std::int32_t trimY);
    // "Trim Y initial" (nm) for a chosen line number.
    static std::int32_t trimYForNumber(int number);
    // How long the trim stage waits for the status reply; a slower machine
    // or a test may change it.
    void setSecondEventLimit(DWORD ms) { secondEventLimit_.store(ms); }

private:
    void waitForStatusReply();

    event_t numberChosen_{true, false};
    std::atomic<bool> chosen_{false};
    std::atomic<std::int32_t> savedTrimY_{0};
    std::atomic<DWORD> secondEventLimit_{secondEventLimitMs};
};
