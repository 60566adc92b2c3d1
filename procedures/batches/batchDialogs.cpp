#include "procedures/batches/batchDialogs.h"

#include <mutex>

namespace {

std::mutex hooksLock;
batchDialogs_t hooks;

batchDialogs_t installed()
{
    std::lock_guard<std::mutex> guard(hooksLock);
    return hooks;
}

}  // namespace

void setBatchDialogs(const batchDialogs_t& dialogs)
{
    std::lock_guard<std::mutex> guard(hooksLock);
    if (dialogs.chooseTrimNumber)
        hooks.chooseTrimNumber = dialogs.chooseTrimNumber;
    if (dialogs.waitForResume)
        hooks.waitForResume = dialogs.waitForResume;
    if (dialogs.refreshMainWindow)
        hooks.refreshMainWindow = dialogs.refreshMainWindow;
}

void clearBatchDialogs()
{
    std::lock_guard<std::mutex> guard(hooksLock);
    hooks = batchDialogs_t{};
}

bool chooseTrimNumber(HWND owner, int maximum, int initial, int& chosen)
{
    const batchDialogs_t h = installed();
    return h.chooseTrimNumber ? h.chooseTrimNumber(owner, maximum, initial, chosen) : false;
}

void waitForResume(HWND owner, qvrClientDev_t* device)
{
    const batchDialogs_t h = installed();
    if (h.waitForResume)
        h.waitForResume(owner, device);
}

void refreshMainWindow()
{
    const batchDialogs_t h = installed();
    if (h.refreshMainWindow)
        h.refreshMainWindow();
}
