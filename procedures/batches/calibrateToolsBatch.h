// "Calibrate Tools Batch": finds the first tool's X/Y position. The
// technician puts the head on the middle tool with the XY motors off; the
// machine's search of its XY home sensors then tells how far the head was
// from home, which gives the new "First Tool X" and "First Tool Y".
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <string>

class calibrateToolsBatch_t : public baseStaticBatch_t {
public:
    static constexpr const wchar_t* positionQuestion =
        L"Move the XY bridge to the middle tool, and go up as much as possible. Don't return the taken tool.";

    calibrateToolsBatch_t();

    std::wstring name() const override { return L"Calibrate Tools Batch"; }
    void run() override;
    // The XY motors are switched back on (not waited for).
    void onStopped(stageStatus_t status) override;
};
