// packetQueue_t: the device's queue of outgoing packets, the last received
// packet (the current packet) and the flag that a reply is awaited. It keeps
// the stop-and-wait discipline: only the front is ever sent, it stays at the
// front until its reply has been handled, and a packet equal to one already
// waiting behind the front is not queued again.
//
// Every operation takes the queue's copy of the device's shared lock, which
// is re-entrant, so a caller holding the device lock may call them.
#pragma once
#include "machine/packetBuffer.h"
#include "machine/sharedLock.h"
#include <cstdint>
#include <deque>
#include <memory>

class packetQueue_t {
public:
    explicit packetQueue_t(sharedLock_t& lock);
    ~packetQueue_t();
    packetQueue_t(const packetQueue_t&) = delete;
    packetQueue_t& operator=(const packetQueue_t&) = delete;

    // A duplicate (see hasDuplicate) is not queued and gives true; otherwise
    // a copy goes to the back and the result is false.
    bool push(const packetBuffer_t& packet);
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
    // Clears the awaited flag, then drops every packet.
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
    std::deque<packetBuffer_t>& packets() { return packets_; }

private:
    sharedLock_t lock_;
    std::deque<packetBuffer_t> packets_;
    std::unique_ptr<packetBuffer_t> current_;
    bool awaitingReply_ = false;
};
