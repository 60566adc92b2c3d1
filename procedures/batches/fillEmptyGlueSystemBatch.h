// "Long Clean Bubbles" / "Fast Clean Bubbles": 200 full pump strokes into a
// container on the table. The long form waits for every pump return; the
// fast form sends the return at the forward speed without waiting.
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <string>

class fillEmptyGlueSystemBatch_t : public baseStaticBatch_t {
public:
    static constexpr int strokeCount = 200;
    static constexpr int purgeStage = 2;
    static constexpr const wchar_t* containerQuestion =
        L"Place the container on the table, about 2.5cm (1\") from the front edge.";
    static constexpr const wchar_t* purgeQuestion =
        L"The purge process will now begin. Glue will be sprayed into the container.";

    explicit fillEmptyGlueSystemBatch_t(bool longForm);

    std::wstring name() const override { return longForm_ ? L"Long Clean Bubbles" : L"Fast Clean Bubbles"; }
    void run() override;
    // Only in the purge stage: pump home, iron unhooked, bridge to the end
    // position and Z to its safe height (none waited for).
    void onStopped(stageStatus_t status) override;

    bool isLongForm() const { return longForm_ != 0; }

private:
    void queueFastPumpReturn();

    int longForm_;
};
