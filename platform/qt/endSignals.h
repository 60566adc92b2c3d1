// The signals by which a terminal (Ctrl-C, a closed terminal), a log-out or
// a service manager ask a program to end: SIGINT, SIGHUP and SIGTERM. A
// windowed program should then end as its close box ends it, with whatever
// that does first (the technician program takes the machine out of Open
// Door mode), so the first such signal is handed to the user-interface
// thread. A second one ends the process at once, for a close that hangs or
// a person who will not wait for it. A signal the program was started with
// ignored (nohup, a background job of a script) stays ignored.
#pragma once
#include <functional>

class QObject;

// From now on the first of these signals (those not inherited ignored) runs
// onFirst (with the signal's number) on the thread of the owner's event
// loop; every later one ends the process as the signal ends a program that
// does not handle it. The signal
// handler only counts and writes a byte to a pipe watched by the event
// loop. Call once, from the user-interface thread, with the application
// object as owner.
void watchEndSignals(QObject* owner, std::function<void(int signal)> onFirst);

// Ends the process as the signal would without a handler (for an onFirst
// that finds nothing to close).
[[noreturn]] void endAsSignal(int signal);
