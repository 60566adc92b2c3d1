// A worker thread of a listener: runs one accepted connection after another.
// The listener gives an idle worker its next connection and sets the event;
// the worker runs the connection's thread body and becomes idle again. It ends
// when the listener's stop event is set.
#pragma once
#include "link/basicSocket.h"

class basicSocket_t::childSocketThreadHandle_t : public threadHandle_t {
public:
    // The event starts set, so the new worker runs its first connection at once.
    childSocketThreadHandle_t(basicSocket_t* listener, basicSocket_t* connection);
    // Waits for the thread; the listener has set its stop event and woken the
    // worker before.
    ~childSocketThreadHandle_t() override;

    bool startThread();

private:
    friend class basicSocket_t;
    static unsigned threadProc(void* argument);
    void run();

    bool idle() const { return pending_ == nullptr && !busy_; }

    // Under the lock. A connection that is deleted is taken out of both
    // pointers first, so neither ever points to a deleted connection.
    event_t event_{true, true};
    basicSocket_t* listener_;
    basicSocket_t* pending_;            // handed over, not yet picked up
    basicSocket_t* running_ = nullptr;  // being run now
    bool busy_ = false;                 // from pick-up until the run ended
    sharedLock_t lock_;
};
