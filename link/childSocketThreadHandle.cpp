#include "link/childSocketThreadHandle.h"

basicSocket_t::childSocketThreadHandle_t::childSocketThreadHandle_t(basicSocket_t* listener,
                                                                   basicSocket_t* connection)
    : listener_(listener), pending_(connection), lock_(listener->lock_)
{
}

basicSocket_t::childSocketThreadHandle_t::~childSocketThreadHandle_t()
{
    join(INFINITE);
}

bool basicSocket_t::childSocketThreadHandle_t::startThread()
{
    return start(&threadProc, this) != INVALID_HANDLE_VALUE;
}

unsigned basicSocket_t::childSocketThreadHandle_t::threadProc(void* argument)
{
    static_cast<childSocketThreadHandle_t*>(argument)->run();
    return 0;
}

void basicSocket_t::childSocketThreadHandle_t::run()
{
    for (;;) {
        if (waitForAnyEvent({&event_, &listener_->stop_}, INFINITE) != 0)
            return;
        event_.reset();
        if (listener_->stop_.isSet())
            return;
        basicSocket_t* connection = nullptr;
        {
            lockGuard_t guard(lock_);
            // A connection deleted before it was picked up is gone from
            // pending_; one merely taken out of the list is not run either.
            if (pending_ != nullptr && listener_->hasConnection(pending_)) {
                connection = pending_;
                connection->worker_ = this;
                running_ = connection;
                busy_ = true;
            }
            pending_ = nullptr;
        }
        if (connection == nullptr)
            continue;
        // Whoever deletes the connection now waits for its closed event, which
        // threadMain sets as its last act.
        connection->threadMain();
        lockGuard_t guard(lock_);
        running_ = nullptr;
        busy_ = false;
    }
}
