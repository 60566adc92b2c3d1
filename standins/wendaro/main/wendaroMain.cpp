// Wendaro.exe: the stand-in for the USB driver program and the machines
// server. It serves one or more simulated printers on TCP port 8722 (or
// --port), prints "LISTENING <port>" once it listens, and ends when asked:
// the registry value "To Close Master Program?" set to 1, the request
// "CLOSEMASTERPROGRAM", SIGTERM or Ctrl-C (unless started with them
// ignored), or (with --exit-on-stdin-eof) standard input closing. See standins/wendaro/wendaroDriver.h for the
// driver's rules and wendaroOptions.h for the command line.
#include "machine/globalNames.h"
#include "platform/codePage.h"
#include "platform/endSignalHandler.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "standins/wendaro/wendaroDriver.h"
#include "standins/wendaro/wendaroOptions.h"
#include "standins/wendaro/wendaroServer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t signalled = 0;
std::atomic<bool> stdinClosed{false};

void onSignal(int) { signalled = 1; }

// How often the program looks for a reason to close.
constexpr auto checkEvery = std::chrono::milliseconds(100);

}  // namespace

int main(int argc, char** argv)
{
    // As in every program of ours: a command line written for this start
    // goes no further than this program.
    initProcessCommandLine(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    const wendaroOptions_t options = wendaroOptions_t::parse(args);
    if (!options.error.empty()) {
        std::cerr << "Wendaro.exe: " << wideToUtf8(options.error) << "\n" << wendaroOptions_t::usage();
        return 2;
    }
    if (options.help) {
        std::cout << wendaroOptions_t::usage();
        return 0;
    }
    // "/c": ask the running instance to close; never take the mutex.
    if (options.closeOther) {
        wendaroDriver_t::askRunningInstanceToClose();
        return 0;
    }

    const std::wstring dataRoot = options.config.dataRoot.empty() ? getBaseFolder() : options.config.dataRoot;
    wendaroDriver_t driver(dataRoot);
    // Checked before the port is taken: a second instance leaves quietly.
    if (!driver.takeMutex())
        return 0;
    if (wendaroDriver_t::closeRequested())
        wendaroDriver_t::clearCloseRequest();

    wendaroConfig_t config = options.config;
    config.dataRoot = dataRoot;
    wendaroServer_t server(config);
    if (!options.tracePath.empty() && !server.trace().writeTo(options.tracePath) && !options.quiet)
        std::cerr << "Wendaro.exe: cannot write the trace to " << options.tracePath << "\n";
    server.setLogSink([&driver](const std::wstring& text) { driver.log(text); });
    std::wstring error;
    if (!server.start(&error)) {
        driver.log(L"Not started: " + error);
        if (!options.quiet)
            std::cerr << "Wendaro.exe: " << wideToUtf8(error) << "\n";
        return 1;
    }
    std::cout << "LISTENING " << server.port() << std::endl;

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Started ignoring one (nohup, a background job of a script), it keeps
    // ignoring it.
    catchUnlessIgnored(SIGTERM, action);
    catchUnlessIgnored(SIGINT, action);
    if (options.exitOnStdinEof) {
        // Blocks in read until the other end closes; the process may end
        // first.
        std::thread([] {
            char buffer[256];
            while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
            }
            stdinClosed.store(true);
        }).detach();
    }

    std::wstring reason;
    while (reason.empty()) {
        std::this_thread::sleep_for(checkEvery);
        if (signalled != 0)
            reason = L"signal";
        else if (wendaroDriver_t::closeRequested())
            reason = L"\"To Close Master Program?\"";
        else if (server.closeRequested())
            reason = L"\"CLOSEMASTERPROGRAM\"";
        else if (stdinClosed.load())
            reason = L"standard input closed";
    }
    if (wendaroDriver_t::closeRequested())
        wendaroDriver_t::clearCloseRequest();
    server.stop();
    driver.log(L"Closed on " + reason);
    driver.releaseMutex();
    return 0;
}
