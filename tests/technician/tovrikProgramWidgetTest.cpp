// Tovrik.exe as it runs, against the machines server stand-in in this
// process: whatever the link is doing when the main window is closed
// (connected, no server yet, a server that does not greet, a reply that
// never comes), the program exits within a second with exit code 0; and
// Ctrl-C, a closed terminal or a log-out run the close box's close sequence.
#include "standins/wendaro/wendaroServer.h"
#include "tests/support/closedPort.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string programPath()
{
    if (const char* bin = std::getenv("QVR_BUILD_BIN"))
        return std::string(bin) + "/Tovrik.exe";
    // Run by hand: <build>/tests/tests_technician next to <build>/bin.
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/bin/Tovrik.exe";
}

// The program in a child process on the offscreen platform, talking to the
// server on the port given; its standard error goes to a file. Given a
// signal to ignore, it is started as a shell starts a job with that signal
// ignored.
class tovrikProcess_t {
public:
    tovrikProcess_t(int serverPort, const std::string& errorFile, const std::vector<std::string>& extra = {},
                    int ignoredSignal = 0)
        : errorFile_(errorFile)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (text.rfind("QVR_SERVER_PORT=", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0)
                environment.push_back(text);
        }
        environment.push_back("QVR_SERVER_PORT=" + std::to_string(serverPort));
        environment.push_back("QT_QPA_PLATFORM=offscreen");
        environment.insert(environment.end(), extra.begin(), extra.end());
        std::vector<char*> envp;
        for (std::string& text : environment)
            envp.push_back(text.data());
        envp.push_back(nullptr);

        std::string path = programPath();
        std::string machine = "3";
        std::vector<char*> argv{path.data(), machine.data(), nullptr};
        std::string shell = "/bin/sh";
        std::string dashC = "-c";
        std::string script = "trap '' " + std::to_string(ignoredSignal) + "; exec \"$0\" \"$@\"";
        if (ignoredSignal != 0)
            argv.insert(argv.begin(), {shell.data(), dashC.data(), script.data()});
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~tovrikProcess_t()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    tovrikProcess_t(const tovrikProcess_t&) = delete;
    tovrikProcess_t& operator=(const tovrikProcess_t&) = delete;

    pid_t pid() const { return pid_; }

    // It catches SIGTERM once it is ready to turn it into a close.
    bool catchesTerminate() const
    {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigCgt:", 0) == 0) {
                const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
                return (mask >> (SIGTERM - 1)) & 1U;
            }
        }
        return false;
    }

    bool hasEnded()
    {
        int status = 0;
        if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = status;
        return status_.has_value();
    }
    std::optional<int> waitStatus() const { return status_; }

    std::string errorOutput() const
    {
        std::ifstream file(errorFile_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    pid_t pid_ = -1;
    std::string errorFile_;
    std::optional<int> status_;
};

enum class moment_e { connected_e, serverAbsent_e, linkLost_e, greetingUnanswered_e, replyPending_e };

struct moment_t {
    const char* name;
    moment_e moment;
};

void PrintTo(const moment_t& moment, std::ostream* out)
{
    *out << moment.name;
}

// The stand-in server on a port of its own, with machine 3.
class tovrikServerTest : public prefixTest {
protected:
    void TearDown() override
    {
        if (server_)
            server_->stop();
    }

    wendaroServer_t& serve()
    {
        wendaroConfig_t config;
        config.port = 0;
        wendaroMachineConfig_t machine;
        machine.printer.machineID = 3;
        machine.printer.writeLogs = false;
        machine.name = L"Printer 3";
        config.machines.push_back(machine);
        server_ = std::make_unique<wendaroServer_t>(config);
        std::wstring error;
        EXPECT_TRUE(server_->start(&error)) << std::string(error.begin(), error.end());
        return *server_;
    }

    bool machineConnected() const
    {
        for (const auto& connection : server_->connections())
            if (connection.machine == 3)
                return true;
        return false;
    }

    std::unique_ptr<wendaroServer_t> server_;
};

class TovrikProgramWidget : public tovrikServerTest, public ::testing::WithParamInterface<moment_t> {};

TEST_P(TovrikProgramWidget, ExitsWithinASecondOfTheClose)
{
    const moment_e moment = GetParam().moment;
    int rule = 0;
    if (moment != moment_e::serverAbsent_e) {
        serve();
        wendaroFaultRule_t silent;
        silent.times = -1;
        if (moment == moment_e::greetingUnanswered_e) {
            silent.word = L"BrevanquillorMachinesServer";
            rule = server_->faults().add(silent);
        } else if (moment == moment_e::replyPending_e) {
            silent.word = L"CMND";
            rule = server_->faults().add(silent);
        }
    }
    const std::uint64_t mark = server_ ? server_->trace().mark() : 0;
    tovrikProcess_t program(server_ ? server_->port() : closedPort(), prefix_.root() + "/tovrik.err");
    ASSERT_GT(program.pid(), 0);
    ASSERT_TRUE(waitUntil([&] { return program.hasEnded() || program.catchesTerminate(); }, 20s));
    ASSERT_FALSE(program.hasEnded()) << program.errorOutput();

    switch (moment) {
    case moment_e::connected_e: {
        // Greeted, and statuses come and go.
        const auto answered = [](const wendaroTraceEntry_t& entry) {
            return entry.kind == wendaroTraceEntry_t::kind_e::out_e && entry.packetType == 1;
        };
        ASSERT_TRUE(waitUntil([&] { return machineConnected() && server_->trace().count(answered, mark) >= 2; },
                              20s));
        break;
    }
    case moment_e::serverAbsent_e:
        // Through a reconnection interval with nothing to connect to, it stays up.
        EXPECT_FALSE(waitUntil([&] { return program.hasEnded(); }, 3000ms)) << program.errorOutput();
        break;
    case moment_e::linkLost_e:
        ASSERT_TRUE(waitUntil([&] { return machineConnected(); }, 20s));
        server_->stop();
        EXPECT_FALSE(waitUntil([&] { return program.hasEnded(); }, 3000ms)) << program.errorOutput();
        break;
    case moment_e::greetingUnanswered_e:
    case moment_e::replyPending_e:
        ASSERT_TRUE(waitUntil([&] { return server_->faults().actedCount(rule) >= 1; }, 20s));
        break;
    }
    ASSERT_FALSE(program.hasEnded()) << program.errorOutput();

    const auto closed = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(program.pid(), SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return program.hasEnded(); }, 20s)) << "still running";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closed);
    const int status = *program.waitStatus();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << program.errorOutput();
    EXPECT_EQ(WEXITSTATUS(status), 0) << program.errorOutput();
    // Neither the reconnection interval, nor a reply time-out, nor the
    // close sequence's fall-back holds the exit up.
    EXPECT_LE(took.count(), 1000) << program.errorOutput();
}

INSTANTIATE_TEST_SUITE_P(Moments, TovrikProgramWidget,
                         ::testing::Values(moment_t{"connected", moment_e::connected_e},
                                           moment_t{"serverAbsent", moment_e::serverAbsent_e},
                                           moment_t{"linkLost", moment_e::linkLost_e},
                                           moment_t{"greetingUnanswered", moment_e::greetingUnanswered_e},
                                           moment_t{"replyPending", moment_e::replyPending_e}),
                         [](const ::testing::TestParamInfo<moment_t>& info) { return std::string(info.param.name); });

struct endSignal_t {
    const char* name;
    int signal;
    // Ignored when the program starts, and sent before the first signal.
    int ignored = 0;
};

void PrintTo(const endSignal_t& signal, std::ostream* out)
{
    *out << signal.name;
}

class TovrikEndSignalWidget : public tovrikServerTest, public ::testing::WithParamInterface<endSignal_t> {};

// "Machine Flags", the word of the parameter memory whose bits 0 and 2 are
// Open Door mode.
constexpr int machineFlagsWord = 120;

// The first signal closes the program as the close box does: a machine in
// Open Door mode gets its flags without those bits and command 19, and the
// window waits for the machine's answer (here it never comes). The second
// signal ends the program at once. A signal the program was started with
// ignored changes nothing.
TEST_P(TovrikEndSignalWidget, FirstRunsTheCloseSequenceSecondEndsAtOnce)
{
    const int signal = GetParam().signal;
    simPrinter_t& printer = serve().printer(3);
    const std::int32_t flags = printer.memoryWord(machineFlagsWord) | 0x5;
    printer.setMemoryWord(machineFlagsWord, flags);
    wendaroFaultRule_t unanswered;
    unanswered.word = L"CMND";
    unanswered.command = 19;
    unanswered.times = -1;
    server_->faults().add(unanswered);
    const std::uint64_t mark = server_->trace().mark();
    tovrikProcess_t program(server_->port(), prefix_.root() + "/tovrik.err", {"QVR_WINDOW_TITLES=1"},
                            GetParam().ignored);
    ASSERT_GT(program.pid(), 0);
    // The program keeps the parameters it has read from the machine in the
    // machine's settings file; its window handles a signal after that.
    const std::string settings = linuxPathOf(L"C:/QVR_Printers/3/Settings/MachineParameters.txt");
    ASSERT_TRUE(waitUntil([&] { return ::access(settings.c_str(), F_OK) == 0; }, 20s)) << program.errorOutput();
    if (GetParam().ignored != 0) {
        ASSERT_EQ(::kill(program.pid(), GetParam().ignored), 0);
    }

    ASSERT_EQ(::kill(program.pid(), signal), 0);
    const auto closing = [&] {
        return program.errorOutput().find("window title \"Closing, Please Wait...\"\n") != std::string::npos;
    };
    ASSERT_TRUE(waitUntil([&] { return closing() || program.hasEnded(); }, 20s));
    ASSERT_TRUE(closing()) << "ended with status " << program.waitStatus().value_or(-1) << "\n"
                           << program.errorOutput();
    EXPECT_TRUE(waitUntil([&] { return printer.memoryWord(machineFlagsWord) == (flags & ~0x5); }, 20s));
    const auto isCommand19 = [](const wendaroTraceEntry_t& entry) {
        return entry.kind == wendaroTraceEntry_t::kind_e::in_e && entry.command == 19;
    };
    EXPECT_TRUE(waitUntil([&] { return server_->trace().count(isCommand19, mark) == 1; }, 20s));
    ASSERT_FALSE(program.hasEnded()) << program.errorOutput();

    ASSERT_EQ(::kill(program.pid(), signal), 0);
    ASSERT_TRUE(waitUntil([&] { return program.hasEnded(); }, 20s)) << "still running";
    const int status = *program.waitStatus();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status << "\n" << program.errorOutput();
    EXPECT_EQ(server_->trace().count(isCommand19, mark), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, TovrikEndSignalWidget,
                         ::testing::Values(endSignal_t{"SIGINT", SIGINT}, endSignal_t{"SIGTERM", SIGTERM},
                                           endSignal_t{"SIGHUP", SIGHUP},
                                           endSignal_t{"SIGTERMAfterAnIgnoredSIGHUP", SIGTERM, SIGHUP}),
                         [](const ::testing::TestParamInfo<endSignal_t>& info) { return std::string(info.param.name); });

}  // namespace
