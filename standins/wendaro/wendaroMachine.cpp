#include "standins/wendaro/wendaroMachine.h"

#include "machine/littleEndian.h"
#include "machine/wstr.h"

#include <utility>

namespace {

simPrinterConfig_t printerConfig(const wendaroMachineConfig_t& config, const std::wstring& dataRoot)
{
    simPrinterConfig_t printer = config.printer;
    if (printer.dataRoot.empty())
        printer.dataRoot = dataRoot;
    return printer;
}

}  // namespace

wendaroMachine_t::wendaroMachine_t(const wendaroMachineConfig_t& config, const std::wstring& dataRoot)
    : id_(config.printer.machineID),
      printer_(std::make_unique<simPrinter_t>(printerConfig(config, dataRoot))),
      name_(config.name.empty() ? L"Printer " + toStr(config.printer.machineID) : config.name),
      password_(config.password)
{
}

std::wstring wendaroMachine_t::name() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return name_;
}

void wendaroMachine_t::rename(const std::wstring& name, std::uint32_t byConnection)
{
    std::lock_guard<std::mutex> guard(mutex_);
    name_ = name;
    addLocked(0, wendaroNotice_t::liveOf(wendaroNotice_t::kind_e::machineName_e), byConnection);
}

bool wendaroMachine_t::passwordAccepts(const std::optional<std::wstring>& given) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (password_.empty())
        return true;
    return given && *given == password_;
}

void wendaroMachine_t::setPassword(const std::wstring& password)
{
    std::lock_guard<std::mutex> guard(mutex_);
    password_ = password;
}

wendaroMachine_t::link_e wendaroMachine_t::link() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return link_;
}

void wendaroMachine_t::setLink(link_e mode)
{
    std::lock_guard<std::mutex> guard(mutex_);
    const bool cameBack = link_ != link_e::up_e && mode == link_e::up_e;
    link_ = mode;
    if (cameBack)
        addLocked(0, wendaroNotice_t::of(wendaroNotice_t::kind_e::reopened_e));
}

machineHostIDname_t wendaroMachine_t::listEntry(const std::wstring& host) const
{
    const auto changes = static_cast<std::int32_t>(printer_->queueChangeCount());
    std::lock_guard<std::mutex> guard(mutex_);
    return machineHostIDname_t(host, static_cast<std::int32_t>(id_), name_, changes, 0);
}

void wendaroMachine_t::attach(std::uint32_t connection)
{
    std::lock_guard<std::mutex> guard(mutex_);
    sessions_[connection];
}

void wendaroMachine_t::detach(std::uint32_t connection)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sessions_.erase(connection);
        if (controller_.connection == connection)
            controller_ = controller_t();
    }
    printer_->dropConnection(connection);
}

std::vector<std::uint32_t> wendaroMachine_t::attached() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::uint32_t> out;
    for (const auto& session : sessions_)
        out.push_back(session.first);
    return out;
}

wendaroMachine_t::controller_t wendaroMachine_t::controller() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return controller_;
}

void wendaroMachine_t::setController(const controller_t& controller)
{
    std::lock_guard<std::mutex> guard(mutex_);
    controller_ = controller;
}

void wendaroMachine_t::pumpEvents()
{
    // Taken before the machine's lock: the printer never calls back.
    const std::vector<simEvent_t> events = printer_->takeEvents();
    if (events.empty())
        return;
    using kind = wendaroNotice_t::kind_e;
    std::lock_guard<std::mutex> guard(mutex_);
    for (const simEvent_t& event : events) {
        switch (event.kind) {
        case simEvent_t::kind_e::logAppended_e:
            addLocked(0, wendaroNotice_t::of(kind::newLog_e));
            break;
        case simEvent_t::kind_e::queueChanged_e:
            addLocked(0, wendaroNotice_t::liveOf(kind::queueChanged_e));
            break;
        case simEvent_t::kind_e::fileInfoChanged_e:
            addLocked(0, wendaroNotice_t::liveOf(kind::fileSender_e));
            break;
        case simEvent_t::kind_e::modelStarted_e:
            addLocked(0, wendaroNotice_t::liveOf(kind::modelInfo_e));
            break;
        case simEvent_t::kind_e::timeEstimate_e:
            addLocked(0, wendaroNotice_t::liveOf(kind::timeEstimate_e));
            break;
        case simEvent_t::kind_e::modelEnded_e:
            addLocked(0, wendaroNotice_t::of(kind::modelEnded_e));
            break;
        case simEvent_t::kind_e::paused_e:
            addLocked(0, wendaroNotice_t::text(kind::pausingUser_e, event.text));
            break;
        case simEvent_t::kind_e::memoryWritten_e:
            // The writer knows what it wrote.
            addLocked(0, wendaroNotice_t::liveOf(kind::parameterMemory_e), event.connection);
            break;
        case simEvent_t::kind_e::stateChanged_e:
        case simEvent_t::kind_e::errorChanged_e:
            break;
        }
    }
}

void wendaroMachine_t::addNotice(std::uint32_t connection, wendaroNotice_t notice)
{
    std::lock_guard<std::mutex> guard(mutex_);
    addLocked(connection, std::move(notice));
}

void wendaroMachine_t::addLocked(std::uint32_t connection, wendaroNotice_t notice, std::uint32_t except)
{
    if (connection != 0) {
        const auto found = sessions_.find(connection);
        if (found != sessions_.end())
            found->second.add(std::move(notice));
        return;
    }
    for (auto& session : sessions_) {
        if (session.first != except)
            session.second.add(notice);
    }
}

bool wendaroMachine_t::hasTerminalNotice(std::uint32_t connection) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = sessions_.find(connection);
    return found != sessions_.end() && found->second.hasTerminal();
}

bool wendaroMachine_t::hasNotice(std::uint32_t connection, wendaroNotice_t::kind_e kind) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = sessions_.find(connection);
    return found != sessions_.end() && found->second.has(kind);
}

std::vector<wendaroNotice_t> wendaroMachine_t::takeChained(std::uint32_t connection)
{
    std::vector<wendaroNotice_t> taken;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = sessions_.find(connection);
        if (found == sessions_.end())
            return taken;
        taken = found->second.takeChained();
    }
    // A notice that carries its own fields stays as it is.
    for (wendaroNotice_t& notice : taken) {
        if (notice.live)
            notice = resolve(notice);
    }
    return taken;
}

std::optional<wendaroNotice_t> wendaroMachine_t::takeTerminal(std::uint32_t connection)
{
    std::optional<wendaroNotice_t> taken;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = sessions_.find(connection);
        if (found == sessions_.end())
            return taken;
        taken = found->second.takeTerminal();
    }
    if (taken)
        taken = resolve(*taken);
    return taken;
}

wendaroNotice_t wendaroMachine_t::resolve(const wendaroNotice_t& notice) const
{
    if (!notice.live)
        return notice;
    using kind = wendaroNotice_t::kind_e;
    switch (notice.kind) {
    case kind::errorLog_e:
        return wendaroNotice_t::error(printer_->errorHistory());
    case kind::queueChanged_e:
        return wendaroNotice_t::numbers(kind::queueChanged_e, printer_->queueChangeCount());
    case kind::machineName_e:
        return wendaroNotice_t::text(kind::machineName_e, name());
    case kind::embeddedVersion_e:
        return wendaroNotice_t::text(kind::embeddedVersion_e,
                                     wendaroNotice_t::versionText(printer_->info().embeddedVersion()));
    case kind::parameterMemory_e: {
        const parameterMemory_t memory = printer_->memory();
        std::vector<std::uint8_t> bytes(memory.size() * 4);
        le::wordsToBytes(memory.data(), memory.size(), bytes.data());
        return wendaroNotice_t::parameters(std::move(bytes));
    }
    case kind::fileSender_e:
        return wendaroNotice_t::file(printer_->fileInfo());
    case kind::modelInfo_e:
        return wendaroNotice_t::model(printer_->modelInfo());
    case kind::timeEstimate_e: {
        const auto estimate = printer_->timeEstimate();
        return wendaroNotice_t::numbers(kind::timeEstimate_e, estimate.first, estimate.second);
    }
    default:
        break;
    }
    wendaroNotice_t copy = notice;
    copy.live = false;
    return copy;
}
