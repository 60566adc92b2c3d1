#include "standins/wendaro/wendaroServer.h"

#include "machine/fileUtils.h"
#include "machine/globalNames.h"
#include "machine/longnameStream.h"
#include "machine/sharedLock.h"
#include "machine/systemInfo.h"
#include "machine/wstr.h"
#include "platform/codePage.h"
#include "standins/wendaro/wendaroConnection.h"
#include "standins/wendaro/wendaroListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long start() waits for the listener to listen.
constexpr DWORD listenWaitMs = 10000;
// Closed connections are deleted this often (in ticks of the server thread).
constexpr int purgeEveryMs = 250;

// Whether a listener could bind the loop-back port now. The socket layer
// would report a taken port with a message box; the server says it plainly.
bool portFree(int port)
{
    if (port == 0)
        return true;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

std::wstring stateText(int state)
{
    static const wchar_t* const texts[] = {L"",           L"Building...",     L"Paused",      L"Initializing...",
                                           L"Model End",  L"Technician Mode", L"Sleep Mode",  L"Ready",
                                           L"Kit Replaced?", L"Trim Layer?",  L"Resume Model", L"Check Pen"};
    return state >= 1 && state <= 11 ? texts[state] : L"Unknown";
}

}  // namespace

wendaroServer_t::wendaroServer_t(wendaroConfig_t config) : config_(std::move(config))
{
    if (config_.machines.empty())
        config_.machines.push_back(wendaroMachineConfig_t());
}

wendaroServer_t::~wendaroServer_t() { stop(); }

bool wendaroServer_t::start(std::wstring* error)
{
    std::lock_guard<std::mutex> run(runMutex_);
    if (running_.load())
        return true;
    auto fail = [&](const std::wstring& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (config_.port < 0 || config_.port > 65535)
        return fail(L"Port " + toStr(config_.port) + L" is not a port");
    for (std::size_t i = 0; i < config_.machines.size(); ++i) {
        const std::uint32_t id = config_.machines[i].printer.machineID;
        if (id == 0)
            return fail(L"Machine ID 0 cannot be served");
        for (std::size_t j = 0; j < i; ++j) {
            if (config_.machines[j].printer.machineID == id)
                return fail(L"Machine ID " + toStr(id) + L" is listed twice");
        }
    }
    if (!portFree(config_.port))
        return fail(L"Port " + toStr(config_.port) + L" is already taken");

    dataRoot_ = config_.dataRoot.empty() ? getBaseFolder() : config_.dataRoot;
    hostName_ = config_.hostName.empty() ? getComputerName() : config_.hostName;
    // Existing folders are fine.
    createFolder(dataRoot_);
    createFolder(dataRoot_ + L"/" + sharedFolderName);
    {
        std::lock_guard<std::mutex> guard(mutex_);
        machines_.clear();
        connections_.clear();
        infos_.clear();
        messages_.clear();
        for (const wendaroMachineConfig_t& machine : config_.machines)
            machines_.push_back(std::make_unique<wendaroMachine_t>(machine, dataRoot_));
    }
    closeRequested_.store(false);
    nextConnectionId_.store(1);

    sharedLock_t lock;
    listener_ = std::make_unique<wendaroListener_t>(*this, lock);
    if (!listener_->listen(config_.port) || !listener_->waitListening(listenWaitMs)) {
        listener_.reset();
        std::lock_guard<std::mutex> guard(mutex_);
        machines_.clear();
        return fail(L"Cannot listen on port " + toStr(config_.port));
    }
    port_.store(listener_->listeningPort());
    {
        std::lock_guard<std::mutex> guard(threadMutex_);
        threadStop_ = false;
    }
    if (config_.housekeepingThread)
        thread_ = std::thread([this] { housekeeping(); });
    running_.store(true);
    log(L"Listening on port " + toStr(port_.load()) + L" with " + toStr(config_.machines.size()) +
        L" machine(s)");
    return true;
}

void wendaroServer_t::stop()
{
    std::lock_guard<std::mutex> run(runMutex_);
    if (!running_.load() && !listener_)
        return;
    running_.store(false);
    {
        std::lock_guard<std::mutex> guard(threadMutex_);
        threadStop_ = true;
    }
    threadWake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    // Closes and deletes every connection, waiting for their threads.
    if (listener_) {
        listener_->closeConnection();
        listener_.reset();
    }
    port_.store(0);
    std::lock_guard<std::mutex> guard(mutex_);
    connections_.clear();
    infos_.clear();
    machines_.clear();
}

bool wendaroServer_t::isRunning() const { return running_.load(); }

int wendaroServer_t::port() const { return port_.load(); }

std::wstring wendaroServer_t::dataRoot() const { return dataRoot_; }

std::wstring wendaroServer_t::shareFolder() const { return dataRoot_ + L"/" + sharedFolderName; }

std::wstring wendaroServer_t::hostName() const { return hostName_; }

void wendaroServer_t::housekeeping()
{
    int sincePurge = 0;
    std::unique_lock<std::mutex> lock(threadMutex_);
    while (!threadStop_) {
        threadWake_.wait_for(lock, std::chrono::milliseconds(config_.tickMs));
        if (threadStop_)
            break;
        lock.unlock();
        if (config_.clock == wendaroConfig_t::clock_e::real_e) {
            std::vector<wendaroMachine_t*> machines;
            {
                std::lock_guard<std::mutex> guard(mutex_);
                for (const auto& machine : machines_)
                    machines.push_back(machine.get());
            }
            for (wendaroMachine_t* machine : machines)
                machine->printer().tickRealTime();
        }
        pumpAll();
        sincePurge += static_cast<int>(config_.tickMs);
        if (sincePurge >= purgeEveryMs) {
            sincePurge = 0;
            listener_->purgeConnections();
        }
        lock.lock();
    }
}

void wendaroServer_t::pumpAll()
{
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& machine : machines_)
        machine->pumpEvents();
}

std::vector<std::uint32_t> wendaroServer_t::machineIds() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::uint32_t> ids;
    for (const auto& machine : machines_)
        ids.push_back(machine->id());
    return ids;
}

wendaroMachine_t* wendaroServer_t::findMachine(std::uint32_t id)
{
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& machine : machines_) {
        if (machine->id() == id)
            return machine.get();
    }
    return nullptr;
}

wendaroMachine_t& wendaroServer_t::machine(std::uint32_t id)
{
    wendaroMachine_t* found = findMachine(id);
    if (found == nullptr)
        throw std::out_of_range("no machine with that ID");
    return *found;
}

wendaroMachine_t* wendaroServer_t::firstMachine()
{
    std::lock_guard<std::mutex> guard(mutex_);
    return machines_.empty() ? nullptr : machines_.front().get();
}

std::vector<machineHostIDname_t> wendaroServer_t::machineList() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<machineHostIDname_t> list;
    for (const auto& machine : machines_)
        list.push_back(machine->listEntry(hostName_));
    return list;
}

void wendaroServer_t::advance(std::uint64_t ms)
{
    std::vector<wendaroMachine_t*> machines;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& machine : machines_)
            machines.push_back(machine.get());
    }
    for (wendaroMachine_t* machine : machines) {
        machine->printer().advance(ms);
        machine->pumpEvents();
    }
}

void wendaroServer_t::queueNotice(std::uint32_t machine, std::uint32_t connection, const wendaroNotice_t& notice)
{
    if (wendaroMachine_t* found = findMachine(machine))
        found->addNotice(connection, notice);
}

void wendaroServer_t::printerLinkDown(std::uint32_t machine, wendaroMachine_t::link_e mode)
{
    if (wendaroMachine_t* found = findMachine(machine))
        found->setLink(mode);
}

void wendaroServer_t::printerLinkUp(std::uint32_t machine)
{
    if (wendaroMachine_t* found = findMachine(machine))
        found->setLink(wendaroMachine_t::link_e::up_e);
}

void wendaroServer_t::renameMachine(std::uint32_t machine, const std::wstring& name)
{
    if (wendaroMachine_t* found = findMachine(machine))
        found->rename(name);
}

std::vector<wendaroServer_t::connectionInfo_t> wendaroServer_t::connections() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<connectionInfo_t> out;
    for (const auto& info : infos_)
        out.push_back(info.second);
    return out;
}

std::size_t wendaroServer_t::connectionCount() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return connections_.size();
}

bool wendaroServer_t::dropConnection(std::uint32_t id)
{
    // Under the server's lock the connection cannot be deleted: its
    // destructor unregisters under the same lock.
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = connections_.find(id);
    if (found == connections_.end())
        return false;
    found->second->closeConnection();
    return true;
}

int wendaroServer_t::workerCount() const
{
    std::lock_guard<std::mutex> run(runMutex_);
    return listener_ ? listener_->workerCount() : 0;
}

int wendaroServer_t::idleWorkerCount() const
{
    std::lock_guard<std::mutex> run(runMutex_);
    return listener_ ? listener_->idleWorkerCount() : 0;
}

std::vector<textMessage_t> wendaroServer_t::textMessages() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_;
}

void wendaroServer_t::setLogSink(logSink_t sink)
{
    std::lock_guard<std::mutex> guard(mutex_);
    logSink_ = std::move(sink);
}

bool wendaroServer_t::logging() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<bool>(logSink_);
}

void wendaroServer_t::log(const std::wstring& text)
{
    logSink_t sink;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sink = logSink_;
    }
    if (sink)
        sink(text);
}

void wendaroServer_t::registerConnection(std::uint32_t id, wendaroConnection_t* connection, const std::wstring& host)
{
    std::lock_guard<std::mutex> guard(mutex_);
    connections_[id] = connection;
    connectionInfo_t info;
    info.id = id;
    info.host = host;
    infos_[id] = info;
}

void wendaroServer_t::unregisterConnection(std::uint32_t id)
{
    std::lock_guard<std::mutex> guard(mutex_);
    connections_.erase(id);
    infos_.erase(id);
}

void wendaroServer_t::updateConnection(const connectionInfo_t& info)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (connections_.count(info.id) != 0)
        infos_[info.id] = info;
}

void wendaroServer_t::clearTextMessages()
{
    std::lock_guard<std::mutex> guard(mutex_);
    messages_.clear();
}

void wendaroServer_t::noteTextMessage(const textMessage_t& message)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (messages_.size() >= keptTextMessages)
            messages_.erase(messages_.begin());
        messages_.push_back(message);
    }
    if (logging())
        log(L"Text message from " + message.user + L" on " + message.host + L": " + message.text);
}

void wendaroServer_t::noteCloseRequest()
{
    closeRequested_.store(true);
    log(L"Asked to close the master program");
}

std::wstring wendaroServer_t::dumpText(const std::wstring& comment) const
{
    std::vector<wendaroMachine_t*> machines;
    std::vector<connectionInfo_t> infos;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& machine : machines_)
            machines.push_back(machine.get());
        for (const auto& info : infos_)
            infos.push_back(info.second);
    }
    wstr_t out;
    out << L"Machines server dump: " << comment << L"\n";
    out << L"Port " << port_.load() << L", data root " << dataRoot_ << L"\n";
    for (wendaroMachine_t* machine : machines) {
        const simPrinter_t& printer = machine->printer();
        out << L"Machine " << machine->id() << L" \"" << machine->name() << L"\": state "
            << static_cast<int>(printer.machineState()) << L" (" << stateText(printer.machineState())
            << L"), error " << static_cast<int>(printer.errorNumber()) << L", layers "
            << printer.layerRecordCount() << L", queue changes " << printer.queueChangeCount()
            << (printer.isQueuePaused() ? L", queue paused" : L"") << L"\n";
        int index = 0;
        for (const fileSendParams_t& entry : printer.queueList())
            out << L"  queue " << index++ << L": " << entry.path << L" (" << entry.displayName << L")\n";
    }
    for (const connectionInfo_t& info : infos) {
        out << L"Connection " << info.id << L": machine " << info.machine << L", " << info.user << L" from "
            << info.host << (info.control ? L", control" : L", view only") << L"\n";
    }
    return out;
}

bool wendaroServer_t::writeDump(const std::wstring& fileName, const std::wstring& comment) const
{
    // Only a file name: the dump stays in the data root.
    const std::wstring name = getFileName(fileName);
    if (name.empty() || name == L"." || name == L"..")
        return false;
    basic_longname_ofstream<char> out(dataRoot_ + L"/" + name, std::ios_base::out | std::ios_base::trunc);
    if (!out.is_open())
        return false;
    out << wideToAnsi(dumpText(comment));
    out.close();
    return !out.fail();
}
