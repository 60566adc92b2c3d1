// An event object: manual or automatic reset, optionally named. Named events
// live in a table of this process only (no part of the system signals an
// event across processes); a second event of the same name refers to the
// same object, which dies with its last holder.
#pragma once
#include "machine/baseHandle.h"
#include "platform/winConstants.h"

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class event_t : public baseHandle_t {
public:
    // An empty name makes an unnamed event. *alreadyExisted (when given)
    // tells whether an event of that name existed already; then that event is
    // used and manualReset and initialState are ignored, as the system does.
    event_t(bool manualReset, bool initialState, const std::wstring& name = std::wstring(),
            bool* alreadyExisted = nullptr);
    ~event_t() override;

    void set();
    void reset();
    // True only when the event was signalled within ms (INFINITE waits for
    // ever); an automatic-reset event is reset by the wait that takes it.
    bool wait(DWORD ms);
    bool isSet() { return wait(0); }
    // Whether the event is signalled now, without taking it (an automatic-
    // reset event stays set): for a thread that spins briefly before it
    // sleeps in a wait.
    bool peek() const;

    struct state_t;

private:
    friend int waitForAnyEvent(event_t* const* events, std::size_t count, DWORD ms);
    std::shared_ptr<state_t> state_;
};

// Waits until one of the events is signalled and returns its index (the
// lowest when several are); -1 when ms passed first.
int waitForAnyEvent(event_t* const* events, std::size_t count, DWORD ms);
inline int waitForAnyEvent(std::initializer_list<event_t*> events, DWORD ms)
{
    return waitForAnyEvent(events.begin(), events.size(), ms);
}
inline int waitForAnyEvent(const std::vector<event_t*>& events, DWORD ms)
{
    return waitForAnyEvent(events.data(), events.size(), ms);
}
