#include "procedures/batches/baseStaticBatch.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "platform/messageBoxHook.h"
#include "platform/windowTable.h"

#include <exception>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

constexpr std::int32_t technicianState = 5;
constexpr DWORD uiWaitSliceMs = 1000;

std::atomic<baseStaticBatch_t*> currentProcedure{nullptr};

}  // namespace

baseStaticBatch_t::baseStaticBatch_t() : device_(getCurrentClientDevice()) {}

baseStaticBatch_t::~baseStaticBatch_t()
{
    baseStaticBatch_t* self = this;
    currentProcedure.compare_exchange_strong(self, nullptr);
}

void baseStaticBatch_t::onStopped(stageStatus_t) {}

void baseStaticBatch_t::onStageCompleted(int) {}

void baseStaticBatch_t::stopForClose()
{
    abortEvent_.set();
}

std::wstring baseStaticBatch_t::defaultStatusText(int state)
{
    switch (state) {
    case completed_e:
        return L"Completed.";
    case failed_e:
        return L"Failed.";
    case aborted_e:
        return L"Aborted.";
    case inProgress_e:
        return L"In Progress...";
    default:
        return std::wstring();
    }
}

void baseStaticBatch_t::setStageStatus(int state, std::wstring text)
{
    if (text.empty())
        text = defaultStatusText(state);
    int index = 0;
    {
        std::lock_guard<std::mutex> guard(stageLock_);
        index = currentStage_;
        if (index >= 0 && index < static_cast<int>(stages_.size())) {
            stages_[static_cast<std::size_t>(index)].state = state;
            stages_[static_cast<std::size_t>(index)].statusText = std::move(text);
        }
    }
    // Posted after the record is written, so the window reads the new state.
    postMessage(ownerWindow(), stageMessage, static_cast<WPARAM>(index), static_cast<LPARAM>(state));
}

void baseStaticBatch_t::finishStage(const std::wstring& text)
{
    if (abortEvent_.isSet())
        throw aborted_e;
    setStageStatus(completed_e, text);
    int index = 0;
    int count = 0;
    {
        std::lock_guard<std::mutex> guard(stageLock_);
        index = ++currentStage_;
        count = static_cast<int>(stages_.size());
    }
    if (index < count)
        setStageStatus(inProgress_e, std::wstring());
    else
        postMessage(ownerWindow(), stageMessage, static_cast<WPARAM>(index), static_cast<LPARAM>(overState));
}

void baseStaticBatch_t::checkLink()
{
    if (device_ == nullptr || !runLink_.holds())
        throw aborted_e;
}

baseStaticBatch_t::stageStatus_t baseStaticBatch_t::machineFitness()
{
    // After a lost link the stored status is the old link's last one (state
    // 5, no error), whatever the printer has done since.
    if (device_ == nullptr || !runLink_.holds())
        return aborted_e;
    const machineStatus_t status = device_->getStatus();
    if (status.errorNumber() != 0)
        return failed_e;
    if (device_->getMachineState() != technicianState)
        return aborted_e;
    if (abortEvent_.isSet())
        return aborted_e;
    return completed_e;
}

void baseStaticBatch_t::checkMachine()
{
    const stageStatus_t status = machineFitness();
    if (status != completed_e)
        throw status;
}

void baseStaticBatch_t::sendAndCheck(std::uint8_t code, std::int32_t type1, std::int32_t value1,
                                     std::int32_t type2, std::int32_t value2)
{
    // A command of this run goes out only on the run's link.
    checkLink();
    if (!device_->sendCommandWait(code, type1, value1, type2, value2))
        throw aborted_e;
    checkMachine();
}

int baseStaticBatch_t::ask(const std::wstring& text, unsigned style)
{
    const int answer = showMessageBox(ownerWindow(), text, name(), style);
    if ((style & MB_TYPEMASK) == MB_OKCANCEL && answer == IDCANCEL)
        throw aborted_e;
    return answer;
}

void baseStaticBatch_t::execute()
{
    runLink_.take(device_);
    setStageStatus(inProgress_e, std::wstring());
    stageStatus_t status = completed_e;
    bool stopped = false;
    try {
        run();
    } catch (stageStatus_t thrown) {
        status = thrown;
        stopped = true;
    } catch (...) {
        // Only a status may leave a body; anything else would end the
        // program from the worker thread, so it counts as a failure.
        status = failed_e;
        stopped = true;
    }
    if (!stopped)
        return;
    try {
        onStopped(status);
    } catch (...) {
        // The clean-up could not finish; the status below still shows.
    }
    setStageStatus(status, std::wstring());
}

void baseStaticBatch_t::resetForStart()
{
    {
        std::lock_guard<std::mutex> guard(stageLock_);
        for (batchStage_t& stage : stages_) {
            stage.statusText.clear();
            stage.state = pendingState;
        }
        currentStage_ = 0;
    }
    abortEvent_.reset();
    // A signal left from the previous run must not answer this run's wait.
    secondEvent_.reset();
}

batchStage_t baseStaticBatch_t::stage(int index) const
{
    std::lock_guard<std::mutex> guard(stageLock_);
    if (index < 0 || index >= static_cast<int>(stages_.size()))
        return batchStage_t{};
    return stages_[static_cast<std::size_t>(index)];
}

int baseStaticBatch_t::stageCount() const
{
    std::lock_guard<std::mutex> guard(stageLock_);
    return static_cast<int>(stages_.size());
}

int baseStaticBatch_t::currentStage() const
{
    std::lock_guard<std::mutex> guard(stageLock_);
    return currentStage_;
}

baseStaticBatch_t* baseStaticBatch_t::current()
{
    return currentProcedure.load();
}

void baseStaticBatch_t::setCurrent(baseStaticBatch_t* procedure)
{
    currentProcedure.store(procedure);
}

void baseStaticBatch_t::addStage(const std::wstring& name)
{
    std::lock_guard<std::mutex> guard(stageLock_);
    stages_.push_back(batchStage_t{name, std::wstring(), pendingState});
}

std::int32_t baseStaticBatch_t::paramValue(const wchar_t* name) const
{
    if (device_ == nullptr)
        return 0;
    const machineParam_t* param = device_->findParameter(-1, name);
    return param != nullptr ? device_->getParamValue(*param) : 0;
}

void baseStaticBatch_t::setParam(const wchar_t* name, std::int32_t value)
{
    const stageStatus_t status = storeParam(name, value);
    if (status != completed_e)
        throw status;
}

baseStaticBatch_t::stageStatus_t baseStaticBatch_t::storeParam(const wchar_t* name, std::int32_t value)
{
    // Every store of a procedure passes here, and each makes the stage
    // check first: a question or a chooser may have stood open for minutes.
    const stageStatus_t status = machineFitness();
    if (status != completed_e)
        return status;
    if (const machineParam_t* param = device_->findParameter(-1, name))
        device_->setParameter(*param, value, false);
    return completed_e;
}

void baseStaticBatch_t::homeXYAndUnhookIron()
{
    if (device_ == nullptr)
        throw aborted_e;
    if (!device_->isAxisFlagSet(0))
        sendAndCheck(130, 1, 0);
    if (device_->getStatus().hasFlag(machineStatus_t::flagIronHooked))
        sendAndCheck(151, 1, 0);
}

void baseStaticBatch_t::waitForUiEvent(event_t& event, bool inTechnicianMode)
{
    event_t* const events[] = {&event, &abortEvent_};
    while (!event.isSet()) {
        if (inTechnicianMode)
            checkMachine();
        else if (abortEvent_.isSet())
            throw aborted_e;
        checkLink();
        waitForAnyEvent(events, 2, uiWaitSliceMs);
    }
}

std::wstring baseStaticBatch_t::fixedText(double value, int decimals)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}
