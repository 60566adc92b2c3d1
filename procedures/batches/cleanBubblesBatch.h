// "Clean Bubbles": purges the glue pump three times, then has the
// technician clean the glue trap under the lifted iron bridge.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <string>

class cleanBubblesBatch_t : public baseStaticBatch_t {
public:
    static constexpr const wchar_t* trapQuestion =
        L"The glue trap is now filled with glue.\nCarefully remove the trap, clean it, replace it and close the door.";
    static constexpr const wchar_t* doorQuestion = L"Please close the door.";

    cleanBubblesBatch_t();

    std::wstring name() const override { return L"Clean Bubbles"; }
    void run() override;
    // Whatever stopped the run, the pump goes home (not waited for).
    void onStopped(stageStatus_t status) override;
};
