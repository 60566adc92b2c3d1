#include "platform/endSignalHandler.h"

bool catchUnlessIgnored(int signal, const struct sigaction& action) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0)
        return false;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN)
        return false;
    return ::sigaction(signal, &action, nullptr) == 0;
}
