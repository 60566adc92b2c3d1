// "Pens Taking Test": the head takes the three pens one after the other, a
// given number of rounds, to show that every pen is taken and returned.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <string>

class pensTakingTestBatch_t : public baseStaticBatch_t {
public:
    // The page passes 8 when its box holds no count above 0.
    explicit pensTakingTestBatch_t(int loopCount);

    std::wstring name() const override { return L"Pens Taking Test"; }
    void run() override;
    // The tool goes back to its place (not waited for).
    void onStopped(stageStatus_t status) override;

    int loopCount() const { return loopCount_; }

private:
    int loopCount_;
};
