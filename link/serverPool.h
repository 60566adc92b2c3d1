// serverPool_t: the search for machines servers on this computer and on the
// hosts listed in "searchedServersList.txt" of the data root, one line per
// host. A search thread asks every host at once (one enumMachinesSocket_t
// each), gives each up to 5000 ms, and gathers the machines that the
// servers' greetings list.
//
//   serverPool_t pool;
//   pool.startMachineSearch();
//   pool.waitSearchFinished(INFINITE);
//   for (const machineHostIDname_t& m : pool.getMachines()) ...
//
// Threads: every list and flag is guarded by the pool's lock; sockets leave
// the list under the lock and are deleted after it is released (deleting
// one waits for its thread). The sockets of a search share a lock of their
// own. At most maxLiveSockets hosts are asked at the same time, however long
// the list is. Deleting the pool stops a running search and waits for it.
#pragma once
#include "link/enumMachinesSocket.h"
#include "machine/event.h"
#include "machine/machineHostIDname.h"
#include "machine/sharedLock.h"
#include "machine/threadHandle.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class serverPool_t {
public:
    // The pool's event is cleared above this many listed search sockets...
    static constexpr std::size_t eventClearAbove = 20;
    // ...and set again below this many.
    static constexpr std::size_t eventSetBelow = 10;
    // The search asks no more hosts at once than this.
    static constexpr std::size_t maxLiveSockets = eventClearAbove;
    // A list file larger than this is not read.
    static constexpr std::size_t maxListBytes = 1 << 20;

    serverPool_t();
    ~serverPool_t();
    serverPool_t(const serverPool_t&) = delete;
    serverPool_t& operator=(const serverPool_t&) = delete;

    // Clears the pool (stopping a search that still runs), then starts the
    // search thread; false when the thread cannot start.
    bool startMachineSearch();
    // Gathers the machines of the search sockets: with waitForAll, first
    // waits up to 5000 ms for each socket in turn and then takes every
    // socket; otherwise takes only those that are done. The sockets taken
    // leave the list and are deleted.
    void collectResults(bool waitForAll);
    // Unless the search has finished: the host of a listed search socket
    // picked with the run-time's rand (empty when none is listed). The
    // chosen host is kept and returned.
    std::wstring pickRandomServer();
    // Stops a running search; then no sockets, no machines, no chosen host,
    // not finished.
    void clearServerPool();

    bool isSearchFinished() const;
    // True once the search has finished (within ms; INFINITE waits for ever).
    bool waitSearchFinished(DWORD ms);
    std::vector<machineHostIDname_t> getMachines() const;
    std::wstring getChosenHost() const;
    std::size_t searchSocketCount() const;
    // The hosts the last search asked, in order ("localhost" first).
    std::vector<std::wstring> searchedHosts() const;
    // Clear while more than 20 search sockets are listed, set again below 10.
    event_t& fewSocketsEvent() { return fewSockets_; }

    // The machines servers' port (8722); tests ask servers on other ports.
    void setSearchPort(int port);

private:
    using socketPtr_t = std::shared_ptr<enumMachinesSocket_t>;

    static unsigned searchThreadProc(void* argument);
    void searchThreadMain();
    // Reads the list file: the hosts to ask besides "localhost".
    std::vector<std::wstring> listedHosts() const;
    // Starts a search socket for the host and lists it.
    void addSearchSocket(const std::wstring& host, const sharedLock_t& socketLock);
    // While too many hosts are being asked: gathers the answered ones, and
    // gives the oldest its 5000 ms before it is taken anyway.
    void limitLiveSockets();
    // Waits up to 5000 ms for the socket, or less when the search is stopped.
    bool waitForSocket(enumMachinesSocket_t& socket);
    // Takes the listed sockets that are done (all when `all`), under the lock.
    std::vector<socketPtr_t> takeSocketsLocked(bool all);
    void updateEventLocked();
    void stopSearch();

    mutable sharedLock_t lock_;
    std::vector<socketPtr_t> sockets_;
    std::vector<machineHostIDname_t> machines_;
    std::wstring chosenHost_;
    bool searchFinished_ = false;
    std::vector<std::wstring> searchedHosts_;
    int port_ = enumMachinesSocket_t::defaultPort;
    threadHandle_t searchThread_;
    event_t fewSockets_{true, true};
    // Set while a search is being stopped; the search's waits watch it.
    event_t stopSearch_{true, false};
    event_t finished_{true, false};
};
