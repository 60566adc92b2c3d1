// packetQueue_t: the device's queue of outgoing packets, the last received
// packet (the current packet) and the flag that a reply is awaited. It keeps
// the stop-and-wait discipline: only the front is ever sent, it stays at the
// front until its reply has been handled, and a packet equal to one already
// waiting behind the front is not queued again.
//
// Every operation takes the queue's copy of the device's shared lock, which
// is re-entrant, so a caller holding the device lock may call them.
//
// Each packet that enters the queue gets an entry number: its place in the
// sequence of every packet ever queued. Packets leave only from the front
// (or all at once), so an entry has left the queue once more packets than
// its number have been removed. A thread that waits for its command's reply
// waits for its entry to leave (waitUntilLeft); that test reads one counter
// and needs no lock, so whoever removes packets may wake the waiters while
// holding the device lock.
//
// A waiter also needs to know how its entry left: closed by its reply
// (dropFront) or thrown away with everything else (clear, when the link is
// reset). It watches the entry while it waits; a clear marks the watched
// entries it removes, and the waiter reads the mark when it stops watching.
#pragma once
#include "machine/event.h"
#include "machine/packetBuffer.h"
#include "machine/sharedLock.h"
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class packetQueue_t {
public:
    explicit packetQueue_t(sharedLock_t& lock);
    ~packetQueue_t();
    packetQueue_t(const packetQueue_t&) = delete;
    packetQueue_t& operator=(const packetQueue_t&) = delete;

    // A duplicate (see hasDuplicate) is not queued and gives true; otherwise
    // a copy goes to the back and the result is false. *entry (when given)
    // becomes the entry number of the packet queued, or of the equal packet
    // already waiting that took its place.
    bool push(const packetBuffer_t& packet, std::uint64_t* entry = nullptr);
    // Signalled after every packet that is queued (not after a duplicate):
    // the device thread sleeps on it.
    void setPushSignal(event_t* signal);
    // The entry is no longer queued (its reply closed it, or it was cleared).
    bool hasLeft(std::uint64_t entry) const { return removed_.load() > entry; }
    // The entry number of the front (of the next packet queued when empty).
    std::uint64_t frontEntry() const { return removed_.load(); }
    // Blocks until the entry has left, done() gives true or ms have passed
    // (INFINITE: no limit); true when the entry has left. done() is asked
    // again after each wakeWaiters and must not take the device lock.
    bool waitUntilLeft(std::uint64_t entry, DWORD ms, const std::function<bool()>& done);
    // Blocks until done() gives true or ms have passed, on the same terms
    // (woken by wakeWaiters and by every removal); gives done().
    bool waitUntil(DWORD ms, const std::function<bool()>& done);
    // Makes every waitUntilLeft test its condition again.
    void wakeWaiters();
    // From watch until unwatch, a clear that removes the entry is
    // remembered. An entry may be watched more than once (waiters whose
    // command was dropped as a duplicate share the one waiting).
    void watch(std::uint64_t entry);
    // Ends one watch of the entry; true when a clear removed it.
    bool unwatch(std::uint64_t entry);
    // The entry is watched by at least one waiter.
    bool isWatched(std::uint64_t entry);
    // A thread is inside waitUntilLeft.
    bool hasWaiters() const { return waiting_.load() > 0; }
    // Whether packets left the queue while a thread waited in waitUntilLeft
    // since the last call: that thread is likely to queue its next command
    // at once. Clears the flag.
    bool takeReleasedWaiter() { return releasedWaiter_.exchange(false); }
    // True when a packet at position 1 or later equals the given one; the
    // front (position 0) is never compared.
    bool hasDuplicate(const packetBuffer_t& packet);
    // Copies the front into out (it stays queued) when the queue is not
    // empty; true only when it is not empty and no reply is awaited.
    bool popFront(packetBuffer_t& out);
    // Copies the front into out whatever the awaited flag; false when empty.
    bool peekFront(packetBuffer_t& out);
    // Removes the front and clears the awaited flag; nothing on an empty queue.
    void dropFront();
    // Clears the awaited flag, then drops every packet (marking the watched
    // ones as cleared).
    void clear();
    bool hasSendable();
    bool isEmpty();
    std::int32_t count();
    bool isAwaitingReply();
    void setAwaitingReply();
    void resumeSending();

    // A copy of the current packet (an empty 64-byte packet while there is none).
    packetBuffer_t getCurrent();
    // The current packet becomes a copy of the given one, capacity included.
    void setCurrent(const packetBuffer_t& packet);
    // Replaces the current packet by a new empty one of that capacity.
    void newCurrent(std::int32_t capacity);

    // The sequence itself, for a caller that holds the device lock.
    const std::deque<packetBuffer_t>& packets() const { return packets_; }

private:
    // Under lock_: n packets left the front.
    void removedLocked(std::size_t n);

    sharedLock_t lock_;
    std::deque<packetBuffer_t> packets_;
    // Replaced once per reply: held in place (a device packet needs no
    // memory of its own).
    packetBuffer_t current_{64};
    bool awaitingReply_ = false;
    event_t* pushSignal_ = nullptr;
    struct watched_t {
        std::uint64_t entry;
        bool cleared;
    };
    // Under lock_; as many as threads wait, so a short list.
    std::vector<watched_t> watched_;
    // Packets removed since construction; written under lock_.
    std::atomic<std::uint64_t> removed_{0};
    std::atomic<int> waiting_{0};
    std::atomic<bool> releasedWaiter_{false};
    // Only for the waiters' sleep; never held while taking lock_.
    std::mutex waitMutex_;
    std::condition_variable left_;
};
