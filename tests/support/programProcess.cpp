#include "tests/support/programProcess.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

programProcess_t::programProcess_t(const std::string& path, const options_t& options)
    : outputFile_(options.outputFile) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : options.env)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced)
            environment.push_back(text);
    }
    for (const auto& [name, value] : options.env)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : environment)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    std::vector<std::string> text = {path};
    text.insert(text.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (std::string& t : text)
        argv.push_back(t.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const std::string output = options.outputFile.empty() ? "/dev/null" : options.outputFile;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (!options.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

programProcess_t::~programProcess_t() {
    if (pid_ > 0 && !exitCode_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool programProcess_t::hasEnded() {
    int status = 0;
    if (pid_ > 0 && !exitCode_ && ::waitpid(pid_, &status, WNOHANG) == pid_)
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode_.has_value();
}

std::optional<int> programProcess_t::wait(std::chrono::milliseconds timeout) {
    waitUntil([this] { return hasEnded(); }, timeout);
    return exitCode_;
}

void programProcess_t::kill(int signal) {
    if (pid_ > 0 && !exitCode_)
        ::kill(pid_, signal);
}

std::string programProcess_t::output() const {
    std::ifstream file(outputFile_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
