#include "procedures/batches/feederEncoderTest.h"

#include "link/qvrClientDev.h"
#include "machine/messageBox.h"
#include "platform/windowTable.h"

#include <cmath>

namespace {

constexpr std::int32_t technicianState = 5;
constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::int32_t feederAxis = 4;

}  // namespace

feederEncoderTest_t::feederEncoderTest_t(qvrClientDev_t* device, HWND window) : device_(device), window_(window) {}

feederEncoderTest_t::~feederEncoderTest_t()
{
    stop();
}

feederEncoderTest_t::start_e feederEncoderTest_t::start(std::uint32_t mask)
{
    if (started_.load())
        return start_e::alreadyStarted_e;
    if (device_ == nullptr || !device_->getStatus().hasFlag(machineStatus_t::flagMediaPresent)) {
        messageBox(noMediaText, MB_OK);
        return start_e::noMedia_e;
    }
    device_->prepareForBatch();
    started_.store(true);
    mask_.store(mask);
    worker_.join(INFINITE);
    stop_.reset();
    ended_.reset();
    if (worker_.start(&feederEncoderTest_t::workerProc, this) == INVALID_HANDLE_VALUE)
        ended_.set();
    return start_e::started_e;
}

void feederEncoderTest_t::stop()
{
    stop_.set();
    worker_.join(INFINITE);
}

bool feederEncoderTest_t::workerRunning() const
{
    return worker_.hasThread() && !ended_.isSet();
}

double feederEncoderTest_t::result(std::uint32_t mask) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return mask == encoderMask ? encoderResult_ : pvcResult_;
}

unsigned feederEncoderTest_t::workerProc(void* argument)
{
    auto* test = static_cast<feederEncoderTest_t*>(argument);
    test->work();
    test->ended_.set();
    return 0;
}

void feederEncoderTest_t::work()
{
    const std::uint32_t mask = mask_.load();
    device_->sendCommandWait(130, byteArg, feederAxis);
    device_->sendCommandWait(164, intArg, static_cast<std::int32_t>(encoderMask));
    // The travel of the latest step with the sensor on, and of the latest
    // with it off (steps; 64-bit so that a long run cannot wrap).
    std::int64_t on = 0;
    std::int64_t off = 0;
    while (!stop_.isSet()) {
        const std::int64_t p0 = device_->getStatus().feederPosition();
        device_->sendCommandWait(164, intArg, static_cast<std::int32_t>(mask));
        const machineStatus_t s = device_->getStatus();
        const std::int64_t delta = s.feederPosition() - p0;
        if ((s.sensorWord() & mask) != 0)
            on = delta;
        else
            off = delta;
        if (on > 0 && off > 0) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                // The share is taken in floating point and then cut to
                // its integer part: 29 on and 71 off give 28, since
                // 29 / 100 x 100 falls just below 29.
                const double fraction = static_cast<double>(on) / static_cast<double>(on + off);
                const double share = std::trunc(fraction * 100.0);
                (mask == encoderMask ? encoderResult_ : pvcResult_) = share;
            }
            postMessage(window_, WM_APP, 0, 0);
        }
        if (device_->getMachineState() != technicianState)
            break;
    }
}
