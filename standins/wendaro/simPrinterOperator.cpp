// The technician at the front panel of a demonstration printer: the knife
// check parks the bridge at Y = 80 mm and asks for RESUME, once before the
// cut and once after it; with nobody at the panel a demonstration would stop
// there. The operator presses RESUME a while after such a stop, unless a
// command came meanwhile (the procedure went on, or was cancelled).
#include "standins/wendaro/simPrinter.h"

namespace {

constexpr std::int64_t knifeCheckY = 80000000;  // nm

}  // namespace

void simPrinter_t::armOperatorLocked(std::uint8_t code, bool awaited)
{
    if (config_.operatorResumeMs == 0 || !awaited || (code != 135 && code != 141))
        return;
    if (state_ != 5 || tool_ >= 0 || pos_[y_e] != knifeCheckY)
        return;
    operatorPressAt_ = now_ + config_.operatorResumeMs;
    operatorArmedActivity_ = lastActivity_;
}

bool simPrinter_t::runOperatorLocked()
{
    if (!operatorPressAt_)
        return false;
    if (lastActivity_ != operatorArmedActivity_ || state_ != 5 || !actions_.empty() || headRunning_) {
        operatorPressAt_.reset();
        return true;
    }
    if (*operatorPressAt_ > now_)
        return false;
    operatorPressAt_.reset();
    noteLocked("operator at the front panel");
    pressResumeLocked();
    return true;
}

std::uint64_t simPrinter_t::operatorDueLocked() const
{
    return operatorPressAt_ ? *operatorPressAt_ : std::numeric_limits<std::uint64_t>::max();
}
