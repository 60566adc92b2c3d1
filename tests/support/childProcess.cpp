#include "tests/support/childProcess.h"

#include <csignal>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::map<std::string, childMain_t>& helpers() {
    static std::map<std::string, childMain_t> table;
    return table;
}

constexpr const char* kFlag = "--qvr-child";

}  // namespace

childHelperRegistration_t::childHelperRegistration_t(const char* name, childMain_t function) {
    helpers()[name] = function;
}

std::optional<int> runChildHelperIfAsked(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != kFlag) return std::nullopt;
    const auto it = helpers().find(argv[2]);
    if (it == helpers().end()) return 125;
    std::vector<std::string> args(argv + 3, argv + argc);
    return it->second(args);
}

childProcess_t::~childProcess_t() {
    if (pid_ > 0) {
        kill(SIGKILL);
        wait(10s);
    }
}

bool childProcess_t::start(const std::string& helper, const std::vector<std::string>& args) {
    std::vector<std::string> text = {"/proc/self/exe", kFlag, helper};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& t : text) argv.push_back(t.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) return false;
    pid_ = pid;
    signalled_ = false;
    return true;
}

std::optional<int> childProcess_t::wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return std::nullopt;
    std::optional<int> result;
    waitUntil(
        [&] {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r != pid_) return false;
            signalled_ = WIFSIGNALED(status);
            result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        },
        timeout);
    if (result) pid_ = -1;
    return result;
}

void childProcess_t::kill(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}
