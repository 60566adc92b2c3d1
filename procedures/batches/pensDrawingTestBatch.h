// "Pens Drawing Test": irons and trims a layer, then each of the three pens
// draws the same small figure beside the others, so that the technician can
// compare their lines.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <string>

class pensDrawingTestBatch_t : public baseStaticBatch_t {
public:
    pensDrawingTestBatch_t();

    std::wstring name() const override { return L"Pens Drawing Test"; }
    void run() override;
    // The pen goes back to its place (not waited for).
    void onStopped(stageStatus_t status) override;
};
