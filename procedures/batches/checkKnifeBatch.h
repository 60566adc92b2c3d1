// "Check Knife": the cutting knife cuts a small circle into a piece of media
// that the technician puts under it. The bridge stops at one of seven X
// positions (a new one at every run of the same window, so that the circles
// do not overlap); the technician puts the media there and presses the
// machine's RESUME, which takes the machine out of state 5 and closes the
// wait window; after a four-second countdown the knife cuts. A last RESUME
// ends the check and moves the bridge away.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <atomic>
#include <cstdint>
#include <string>

class checkKnifeBatch_t : public baseStaticBatch_t {
public:
    static constexpr int positionCount = 7;
    static constexpr std::int32_t bridgeY = 80000000;  // nm

    checkKnifeBatch_t();

    std::wstring name() const override { return L"Check Knife"; }
    void run() override;
    // User-interface thread: after the bridge has moved, the wait window.
    void onStageCompleted(int stage) override;
    // The knife goes back; after the bridge stop the bridge moves 100 mm away
    // when it is still there (none waited for).
    void onStopped(stageStatus_t status) override;

    // X (nm) of circle position 0..6: 125, 100, 150, 75, 175, 50, 200 mm.
    static std::int32_t circleX(int position);
    int circlePosition() const { return circlePosition_.load(); }
    // The countdown's second; a test may shorten it.
    void setCountdownStep(DWORD ms) { countdownStepMs_.store(ms); }

private:
    void waitForTechnicianMode();

    std::atomic<int> circlePosition_{0};
    event_t resume_{true, false};
    std::atomic<DWORD> countdownStepMs_{1000};
};
