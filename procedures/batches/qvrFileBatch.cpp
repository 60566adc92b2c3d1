#include "procedures/batches/qvrFileBatch.h"

#include "link/qvrClientDev.h"
#include "machine/wstr.h"
#include "platform/messageBoxHook.h"
#include "procedures/script/batchRunContext.h"
#include "procedures/script/machineStopTest.h"

#include <exception>
#include <memory>
#include <utility>

qvrFileBatch_t::qvrFileBatch_t(std::wstring name, std::wstring scriptPath)
    : name_(std::move(name)), scriptPath_(std::move(scriptPath))
{
    addStage(name_);
}

void qvrFileBatch_t::stopForClose()
{
    closing_.store(true);
    baseStaticBatch_t::stopForClose();
    // Only this procedure's own script is stopped. A run that is only about
    // to start clears the flag; its stop test then sees closing_.
    if (running_.load())
        batchRunState_t::requestStop();
}

void qvrFileBatch_t::run()
{
    // One script at a time: the test and the claim are one step, or two
    // procedures starting together could both run.
    auto context = std::make_unique<batchRunContext_t>(device(), scriptPath_);
    if (!batchRunContext_t::claimCurrent(context.get()))
        return;
    running_.store(true);
    const batchStopTest_t machineTest = machineStopTest(device());
    const batchStopTest_t stopTest = [this, machineTest](int line, const char* text) {
        if (closing_.load()) {
            batchRunState_t::requestStop();
            return false;
        }
        return machineTest(line, text);
    };
    std::wstring errorText;
    bool failed = false;
    try {
        context->run(stopTest);
    } catch (const std::exception& error) {
        failed = true;
        errorText = toStr(error.what());
    }
    running_.store(false);
    // Leaves current only itself, never a context another run installed.
    context.reset();
    if (failed) {
        const bool machineError = device() != nullptr && device()->getStatus().errorNumber() != 0;
        if (!machineError)
            showMessageBox(0, errorText, errorCaption, MB_OK | MB_ICONWARNING);
        throw failed_e;
    }
    finishStage();
}
