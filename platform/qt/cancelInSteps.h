// A modal window whose Cancel takes more than one step: a procedure's
// progress window first asks its worker to stop, and closes only once the
// worker has ended and its clean-up has gone out. Whatever closes windows on
// the user's behalf (the end of the program on a signal) steps it until it
// is gone, rather than pressing Cancel twice, which would close it under a
// running worker.
#pragma once

class cancelInSteps_t {
public:
    // The next step of Cancel. Called again on later turns of the event
    // loop while the window stays open; a step that finds the previous one
    // still under way does nothing.
    virtual void cancelStep() = 0;

protected:
    ~cancelInSteps_t() = default;
};
