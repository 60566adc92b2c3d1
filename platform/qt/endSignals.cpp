#include "platform/qt/endSignals.h"

#include "platform/endSignalHandler.h"

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int endSignals[] = {SIGINT, SIGHUP, SIGTERM};

// Both are touched by the signal handler: a lock-free counter and a plain
// descriptor that is set before any handler is installed.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);
int wakePipe[2] = {-1, -1};

void restoreDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Only async-signal-safe calls: the first signal becomes a byte on the pipe,
// a later one is raised again with its default action, which takes effect
// as soon as this handler returns (the signal is blocked while it runs).
extern "C" void onEndSignal(int signal) {
    const int savedErrno = errno;
    if (received.fetch_add(1) == 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    } else {
        restoreDefault(signal);
        ::raise(signal);
    }
    errno = savedErrno;
}

} // namespace

void watchEndSignals(QObject* owner, std::function<void(int signal)> onFirst) {
    if (wakePipe[0] >= 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [onFirst = std::move(onFirst)] {
        unsigned char byte = 0;
        int signal = 0;
        while (::read(wakePipe[0], &byte, 1) == 1)
            signal = byte;
        if (signal != 0)
            onFirst(signal);
    });
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    // One handler at a time: a second signal of another kind waits until the
    // first has written its byte.
    for (const int signal : endSignals)
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (const int signal : endSignals)
        catchUnlessIgnored(signal, action);
}

void endAsSignal(int signal) {
    restoreDefault(signal);
    ::raise(signal);
    // A signal whose default is not to end (none of ours) must not return.
    std::_Exit(128 + signal);
}
