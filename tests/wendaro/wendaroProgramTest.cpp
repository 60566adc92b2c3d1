// Wendaro.exe as the USB driver program, across processes: it holds the
// mutex "Wendaro is OK mutex" while it runs, a second instance leaves
// quietly, "To Close Master Program?" set to 1 (by a test or by "/c") makes
// it clear the value and exit, a stale 1 is cleared at start,
// "CLOSEMASTERPROGRAM" closes it, and it writes "Wendaro.log".
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/files.h"
#include "platform/namedMutex.h"
#include "standins/wendaro/wendaroDriver.h"
#include "tests/support/port8722Test.h"
#include "tests/wendaro/wendaroTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace wendaroTest;
using namespace std::chrono_literals;

namespace {

std::string programPath()
{
    if (const char* bin = std::getenv("QVR_BUILD_BIN"))
        return std::string(bin) + "/Wendaro.exe";
    // Run by hand: <build>/tests/tests_wendaro next to <build>/bin.
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/bin/Wendaro.exe";
}

// The program in a child process, its standard output on a pipe.
class program_t {
public:
    explicit program_t(const std::vector<std::string>& args)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        const std::string path = programPath();
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
    }
    ~program_t()
    {
        if (pid_ > 0 && !exitCode_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0)
            ::close(output_);
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The port of its "LISTENING <port>" line; nothing when it ended or
    // said nothing in time.
    std::optional<int> listeningPort(std::chrono::milliseconds timeout = 20s)
    {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{output_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char c;
            const ssize_t n = ::read(output_, &c, 1);
            if (n <= 0)
                return std::nullopt;
            if (c == '\n')
                break;
            line += c;
        }
        if (line.rfind("LISTENING ", 0) != 0)
            return std::nullopt;
        return std::atoi(line.c_str() + 10);
    }

    std::optional<int> exitCode(std::chrono::milliseconds timeout = 20s)
    {
        if (exitCode_)
            return exitCode_;
        waitUntil(
            [&] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_)
                    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exitCode_.has_value();
            },
            timeout);
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::optional<int> exitCode_;
};

int closeValue() { return regReadInt(wendaroDriver_t::closeKey, wendaroDriver_t::closeValueName, -1, HKEY_CURRENT_USER); }

void setCloseValue(int value)
{
    regWriteInt(wendaroDriver_t::closeKey, wendaroDriver_t::closeValueName, value, HKEY_CURRENT_USER);
}

bool mutexHeld() { return namedMutexExists(wendaroDriver_t::mutexName); }

}  // namespace

class wendaroProgramTest : public prefixTest {};

TEST_F(wendaroProgramTest, holdsTheMutexAndClosesWhenTheRegistrySaysSo)
{
    program_t first({"--port", "0", "--quiet"});
    ASSERT_TRUE(first.started());
    const auto port = first.listeningPort();
    ASSERT_TRUE(port);
    EXPECT_TRUE(mutexHeld());
    {
        rawClient_t client(*port);
        EXPECT_TRUE(client.receive().has_value());  // the greeting
    }
    // A second instance finds the mutex held and leaves quietly.
    program_t second({"--port", "0", "--quiet"});
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.listeningPort(100ms));
    EXPECT_TRUE(mutexHeld());

    setCloseValue(1);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(mutexHeld());
    EXPECT_EQ(closeValue(), 0);
    const auto log = readRawFile(getDriverLogPath());
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("Listening on port"), std::string::npos);
    EXPECT_NE(log->find("To Close Master Program?"), std::string::npos);
}

TEST_F(wendaroProgramTest, slashCAsksTheRunningInstanceOnly)
{
    // Nothing runs: "/c" writes nothing.
    program_t alone({"/c"});
    EXPECT_EQ(alone.exitCode(), 0);
    EXPECT_EQ(closeValue(), -1);

    program_t running({"--port", "0", "--quiet"});
    ASSERT_TRUE(running.listeningPort());
    program_t closer({"/c"});
    EXPECT_EQ(closer.exitCode(), 0);
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_FALSE(mutexHeld());
}

TEST_F(wendaroProgramTest, clearsAStaleRequestAndClosesOnRequest)
{
    setCloseValue(1);
    const std::string trace = prefix_.root() + "/trace.jsonl";
    program_t program({"--port", "0", "--quiet", "--trace", trace});
    const auto port = program.listeningPort();
    ASSERT_TRUE(port);
    EXPECT_EQ(closeValue(), 0);
    rawClient_t client(*port);
    ASSERT_TRUE(client.connectTo(0));
    const auto reply = client.exchange(wide("CLOSEMASTERPROGRAM"));
    ASSERT_TRUE(reply) << "the program closed before its reply went out";
    EXPECT_NE(find(*reply, wide("OK")), std::string::npos);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(mutexHeld());
    // Every message, one JSON object per line.
    std::ifstream lines(trace);
    std::string line;
    int count = 0;
    bool sawClose = false;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_EQ(line.front(), '{');
        sawClose = sawClose || line.find("\"CLOSEMASTERPROGRAM\"") != std::string::npos;
    }
    EXPECT_GE(count, 5);
    EXPECT_TRUE(sawClose);
}

// A test that needs port 8722 skips while another program holds it, with a
// line that names the holder; for Wendaro.exe the line's own command, typed
// in a shell outside the holder's prefix, stops it.
TEST_F(wendaroProgramTest, aTakenPortNamesItsHolderAndHowToStopIt)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    wendaroConfig_t config;
    config.port = 0;
    config.machines.resize(1);
    int ownPort = 0;
    {
        wendaroServer_t server(config);
        ASSERT_TRUE(server.start());
        ownPort = server.port();
        EXPECT_EQ(portTakenNote(ownPort), "port " + std::to_string(ownPort) + " is taken by " +
                                              std::filesystem::path(self).filename().string() + " (process " +
                                              std::to_string(::getpid()) + ", " + self +
                                              "); stop it to run this test");
        server.stop();
    }
    EXPECT_EQ(portTakenNote(ownPort), "");

    program_t driver({"--port", "0", "--quiet"});
    const auto port = driver.listeningPort();
    ASSERT_TRUE(port);
    const std::string program = std::filesystem::canonical(programPath()).string();
    const std::string note = portTakenNote(*port);
    const std::string stop = "QVR_PREFIX=\"" + prefix_.root() + "\" \"" + program + "\" /c";
    EXPECT_EQ(note, "port " + std::to_string(*port) + " is taken by Wendaro.exe (process " +
                        std::to_string(driver.pid()) + ", " + program + "); stop it with " + stop);
    EXPECT_EQ(std::system(("env -u QVR_PREFIX sh -c '" + stop + "'").c_str()), 0);
    EXPECT_EQ(driver.exitCode(), 0);
    EXPECT_EQ(portTakenNote(*port), "");
}

class wendaroProgramPort8722Test : public port8722Test {};

TEST_F(wendaroProgramPort8722Test, servesTheDefaultPort)
{
    program_t program({"--quiet"});
    const auto port = program.listeningPort();
    ASSERT_TRUE(port);
    EXPECT_EQ(*port, 8722);
    rawClient_t client(8722);
    const auto answer = client.connectTo(0);
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, wide("QVRcontrolConnect") + u32(1) + wide("Printer 1"));
    setCloseValue(1);
    EXPECT_EQ(program.exitCode(), 0);
}
