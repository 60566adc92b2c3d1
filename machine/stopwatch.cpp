#include "machine/stopwatch.h"

#include "machine/messageBox.h"
#include "machine/wstr.h"
#include "platform/ticks.h"
#include "platform/winConstants.h"

stopwatch_t::stopwatch_t()
{
    start();
}

void stopwatch_t::start()
{
    startTick_ = tickCount();
    running_ = true;
}

void stopwatch_t::stop()
{
    if (running_) {
        stopTick_ = tickCount();
        running_ = false;
    }
}

void stopwatch_t::clear()
{
    startTick_ = 0;
    stopTick_ = 0;
    running_ = false;
}

std::uint32_t stopwatch_t::elapsed() const
{
    return running_ ? tickCount() - startTick_ : stopTick_ - startTick_;
}

std::wstring stopwatch_t::text() const
{
    return toStr(elapsed()) + L" ms.";
}

void stopwatch_t::show() const
{
    messageBox(text(), MB_ICONINFORMATION);
}
