// Catching a signal that asks a program to end, as shells and nohup expect:
// a signal that the program was started with ignored (a background job of a
// script, a program under nohup) stays ignored, so that the Ctrl-C meant for
// the script or the hangup of a closed terminal does not end it.
#pragma once
#include <csignal>

// Installs the action for the signal unless the signal is ignored now (as
// inherited, when called before anything else changed it). True when it
// was installed.
bool catchUnlessIgnored(int signal, const struct sigaction& action);
