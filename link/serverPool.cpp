#include "link/serverPool.h"

#include "machine/globalNames.h"
#include "machine/systemInfo.h"
#include "machine/textFileIo.h"
#include "machine/textUtils.h"
#include "platform/crtRand.h"

#include <algorithm>

serverPool_t::serverPool_t() = default;

serverPool_t::~serverPool_t()
{
    stopSearch();
    std::vector<socketPtr_t> doomed;
    {
        lockGuard_t guard(lock_);
        doomed.swap(sockets_);
    }
    // Deleted here, outside the lock: each waits for its thread.
    doomed.clear();
}

void serverPool_t::setSearchPort(int port)
{
    lockGuard_t guard(lock_);
    port_ = port;
}

bool serverPool_t::startMachineSearch()
{
    clearServerPool();
    return searchThread_.start(&searchThreadProc, this) != INVALID_HANDLE_VALUE;
}

unsigned serverPool_t::searchThreadProc(void* argument)
{
    static_cast<serverPool_t*>(argument)->searchThreadMain();
    return 0;
}

void serverPool_t::searchThreadMain()
{
    // The sockets of this search share a lock of their own: their threads
    // never wait for the pool's lock, so the pool may hold it while it
    // reads them.
    const sharedLock_t socketLock;
    addSearchSocket(L"localhost", socketLock);
    // getComputerName gives upper case, and a listed name is compared
    // exactly: a line naming this computer in the same spelling is the
    // "localhost" server already asked.
    const std::wstring thisComputer = getComputerName();
    for (const std::wstring& host : listedHosts()) {
        if (stopSearch_.isSet())
            break;
        if (host == thisComputer)
            continue;
        limitLiveSockets();
        if (stopSearch_.isSet())
            break;
        addSearchSocket(host, socketLock);
    }
    collectResults(true);
    {
        lockGuard_t guard(lock_);
        searchFinished_ = true;
        chosenHost_.clear();
    }
    finished_.set();
}

std::vector<std::wstring> serverPool_t::listedHosts() const
{
    std::string text;
    if (readTextFileBounded(getSearchedServersListPath(), maxListBytes, text) != textFileRead_e::ok_e)
        return {};
    std::vector<std::wstring> hosts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // An empty line names no host (an empty host would be "localhost" again).
        if (!line.empty())
            hosts.push_back(strToWstr(line));
        start = end + 1;
    }
    return hosts;
}

void serverPool_t::addSearchSocket(const std::wstring& host, const sharedLock_t& socketLock)
{
    int port;
    {
        lockGuard_t guard(lock_);
        port = port_;
    }
    auto socket = std::make_shared<enumMachinesSocket_t>(host, socketLock, port);
    lockGuard_t guard(lock_);
    sockets_.push_back(std::move(socket));
    searchedHosts_.push_back(host);
    updateEventLocked();
}

void serverPool_t::limitLiveSockets()
{
    for (;;) {
        collectResults(false);
        socketPtr_t oldest;
        {
            lockGuard_t guard(lock_);
            if (sockets_.size() < maxLiveSockets)
                return;
            oldest = sockets_.front();
        }
        if (stopSearch_.isSet())
            return;
        waitForSocket(*oldest);
        // Its time is up: taken whether it answered or not.
        {
            lockGuard_t guard(lock_);
            const auto found = std::find(sockets_.begin(), sockets_.end(), oldest);
            if (found != sockets_.end()) {
                for (machineHostIDname_t& machine : oldest->getMachines())
                    machines_.push_back(std::move(machine));
                sockets_.erase(found);
            }
            updateEventLocked();
        }
        oldest.reset();  // outside the lock
    }
}

bool serverPool_t::waitForSocket(enumMachinesSocket_t& socket)
{
    waitForAnyEvent({&socket.doneEvent(), &stopSearch_}, enumMachinesSocket_t::doneWaitMs);
    return socket.isDone();
}

void serverPool_t::collectResults(bool waitForAll)
{
    if (waitForAll) {
        std::vector<socketPtr_t> listed;
        {
            lockGuard_t guard(lock_);
            listed = sockets_;
        }
        for (const socketPtr_t& socket : listed)
            waitForSocket(*socket);
    }
    std::vector<socketPtr_t> taken;
    {
        lockGuard_t guard(lock_);
        taken = takeSocketsLocked(waitForAll);
        for (const socketPtr_t& socket : taken) {
            for (machineHostIDname_t& machine : socket->getMachines())
                machines_.push_back(std::move(machine));
        }
        updateEventLocked();
    }
    // The sockets taken are deleted here, after the lock is released.
}

std::vector<serverPool_t::socketPtr_t> serverPool_t::takeSocketsLocked(bool all)
{
    std::vector<socketPtr_t> taken;
    std::vector<socketPtr_t> kept;
    for (socketPtr_t& socket : sockets_) {
        if (all || socket->isDone())
            taken.push_back(std::move(socket));
        else
            kept.push_back(std::move(socket));
    }
    sockets_.swap(kept);
    return taken;
}

void serverPool_t::updateEventLocked()
{
    if (sockets_.size() > eventClearAbove)
        fewSockets_.reset();
    else if (sockets_.size() < eventSetBelow)
        fewSockets_.set();
}

std::wstring serverPool_t::pickRandomServer()
{
    lockGuard_t guard(lock_);
    if (!searchFinished_) {
        if (sockets_.empty()) {
            chosenHost_.clear();
        } else {
            const std::size_t index = static_cast<std::size_t>(crtRand()) % sockets_.size();
            chosenHost_ = sockets_[index]->getHost();
        }
    }
    return chosenHost_;
}

void serverPool_t::stopSearch()
{
    // Never from the search thread itself, which would wait for itself.
    if (!searchThread_.hasThread() || searchThread_.threadId() == currentThreadId())
        return;
    stopSearch_.set();
    searchThread_.join(INFINITE);
    stopSearch_.reset();
}

void serverPool_t::clearServerPool()
{
    stopSearch();
    std::vector<socketPtr_t> doomed;
    {
        lockGuard_t guard(lock_);
        searchFinished_ = false;
        chosenHost_.clear();
        machines_.clear();
        searchedHosts_.clear();
        doomed.swap(sockets_);
        updateEventLocked();
        finished_.reset();
    }
    doomed.clear();  // outside the lock
}

bool serverPool_t::isSearchFinished() const
{
    lockGuard_t guard(lock_);
    return searchFinished_;
}

bool serverPool_t::waitSearchFinished(DWORD ms)
{
    return finished_.wait(ms);
}

std::vector<machineHostIDname_t> serverPool_t::getMachines() const
{
    lockGuard_t guard(lock_);
    return machines_;
}

std::wstring serverPool_t::getChosenHost() const
{
    lockGuard_t guard(lock_);
    return chosenHost_;
}

std::size_t serverPool_t::searchSocketCount() const
{
    lockGuard_t guard(lock_);
    return sockets_.size();
}

std::vector<std::wstring> serverPool_t::searchedHosts() const
{
    lockGuard_t guard(lock_);
    return searchedHosts_;
}
