#include "procedures/script/sleepMsec.h"

#include "procedures/script/batchRunState.h"

#include <chrono>
#include <thread>

std::int32_t sleepMsec_t::exec()
{
    std::int32_t ms = argument(0);
    if (ms <= 0)
        return 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!batchRunState_t::stopRequested.load()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= end)
            break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(sliceMs)));
    }
    return 0;
}
