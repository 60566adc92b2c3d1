#include "platform/process.h"

#include "platform/codePage.h"
#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/paths.h"
#include "platform/posixFile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The longest command line the system's 520-character buffer holds.
constexpr std::size_t kMaxCommandLine = 519;

struct state_t {
    std::mutex lock;
    std::shared_ptr<const launcherHook_t> hook;
    std::wstring commandLine;
    std::wstring programPath;
};

state_t& state() {
    static state_t* instance = new state_t;
    return *instance;
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string normalizeAbsolute(const std::string& path) {
    std::string abs = path;
    if (abs.empty() || abs[0] != '/') {
        char cwd[PATH_MAX];
        abs = std::string(::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/") + "/" + abs;
    }
    return normalizeLinux(abs);
}

std::string selfExecutable() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::wstring folderOf(const std::wstring& systemPath) {
    const std::size_t cut = systemPath.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : systemPath.substr(0, cut);
}

// Reaps one child of ours. A thread per started child, blocked in waitpid
// on that pid only, so children that other code forks are left alone.
void reapLater(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread: the child stays a zombie until we exit; nothing worse.
    }
}

}  // namespace

std::vector<std::wstring> parseCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    const std::wstring& s = commandLine;
    std::size_t i = 0;
    if (s.empty()) return args;
    // The program name: quotes group and are dropped; backslashes are plain.
    {
        std::wstring program;
        bool inQuotes = false;
        while (i < s.size() && (inQuotes || !isBlank(s[i]))) {
            if (s[i] == L'"') inQuotes = !inQuotes;
            else program += s[i];
            ++i;
        }
        args.push_back(program);
    }
    for (;;) {
        while (i < s.size() && isBlank(s[i])) ++i;
        if (i >= s.size()) break;
        std::wstring arg;
        bool inQuotes = false;
        while (i < s.size()) {
            std::size_t backslashes = 0;
            while (i < s.size() && s[i] == L'\\') {
                ++backslashes;
                ++i;
            }
            if (i < s.size() && s[i] == L'"') {
                arg.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    arg += L'"';  // \" is a literal quote
                    ++i;
                } else if (inQuotes && i + 1 < s.size() && s[i + 1] == L'"') {
                    arg += L'"';  // "" inside quotes is a literal quote
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
                continue;
            }
            arg.append(backslashes, L'\\');
            if (i >= s.size() || (!inQuotes && isBlank(s[i]))) break;
            arg += s[i];
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"\n\v") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled so that they stay.
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

std::string findProgram(const std::wstring& program) {
    if (program.empty()) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return std::string();
    }
    const bool hasFolder = program.find_first_of(L"\\/:") != std::wstring::npos;
    auto tryPath = [](const std::wstring& systemPath) -> std::string {
        const auto linux = resolvePath(systemPath);
        if (linux && isExecutableFile(*linux)) return *linux;
        return std::string();
    };
    if (hasFolder) {
        const std::string found = tryPath(program);
        if (found.empty()) setLastError(ERROR_FILE_NOT_FOUND);
        return found;
    }
    // A bare name: ".exe" is added when it has no extension; a Linux
    // program in PATH ("true") is still found by its own name.
    std::vector<std::wstring> names;
    if (program.find(L'.') == std::wstring::npos) names.push_back(program + L".exe");
    names.push_back(program);

    std::vector<std::wstring> folders;
    folders.push_back(folderOf(programPath()));
    folders.push_back(currentFolder());
    folders.push_back(windowsFolder());
    folders.push_back(systemFolder());
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        for (const auto& name : names) {
            const std::string found = tryPath(folder + L"\\" + name);
            if (!found.empty()) return found;
        }
    }
    if (const char* path = std::getenv("PATH")) {
        const std::string list = path;
        std::size_t pos = 0;
        while (pos <= list.size()) {
            std::size_t end = list.find(':', pos);
            if (end == std::string::npos) end = list.size();
            const std::string dir = list.substr(pos, end - pos);
            pos = end + 1;
            if (dir.empty() || dir[0] != '/') continue;
            for (const auto& name : names) {
                const std::string candidate = dir + "/" + wideToUtf8(name);
                if (isExecutableFile(candidate)) return candidate;
            }
        }
    }
    setLastError(ERROR_FILE_NOT_FOUND);
    return std::string();
}

namespace {
// standardFd >= 0 becomes the child's standard input, output and error.
bool spawnProgram(const std::wstring& commandLine, int* processId, int standardFd);
}  // namespace

bool startProcess(const std::wstring& commandLine) { return startProcess(commandLine, nullptr); }

bool startProcess(const std::wstring& commandLine, int* processId) { return spawnProgram(commandLine, processId, -1); }

bool startProcessWithStandardFile(const std::wstring& commandLine, const std::wstring& standardFile, int* processId) {
    if (processId != nullptr) *processId = 0;
    const auto path = resolvePath(standardFile);
    if (!path) return false;
    const int fd = ::open(path->c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        setErrorForPath(errno, *path);
        return false;
    }
    const bool started = spawnProgram(commandLine, processId, fd);
    ::close(fd);
    return started;
}

namespace {

bool spawnProgram(const std::wstring& commandLine, int* processId, int standardFd) {
    if (processId != nullptr) *processId = 0;
    std::shared_ptr<const launcherHook_t> hook;
    {
        auto& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        hook = s.hook;
    }
    if (hook) return (*hook)(commandLine);

    if (commandLine.size() > kMaxCommandLine) {
        setLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const auto args = parseCommandLine(commandLine);
    if (args.empty()) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const std::string program = findProgram(args[0]);
    if (program.empty()) return false;

    // argv[0] is the program's real path, so that the child rebuilds its
    // own command line with the path it was found at.
    std::vector<std::string> argvText;
    argvText.push_back(program);
    for (std::size_t k = 1; k < args.size(); ++k) argvText.push_back(wideToUtf8(args[k]));
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    // Its own session, so that it outlives us; default signal dispositions
    // and an empty mask, whatever this process set for itself.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    // The environment as it is, plus the command line text, naming the
    // program it is written for, so that no other program takes it. A path
    // that holds a line break could not be told from the text: no text then,
    // and the child rebuilds its line from argv.
    const std::string handedLine =
        std::string(commandLineVariable) + "=" + program + "\n" + wideToUtf8(commandLine);
    const std::size_t nameLength = std::strlen(commandLineVariable) + 1;
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, handedLine.c_str(), nameLength) != 0) envp.push_back(*entry);
    if (program.find('\n') == std::string::npos) envp.push_back(const_cast<char*>(handedLine.c_str()));
    envp.push_back(nullptr);
    // dup2 clears close-on-exec on the targets, so the child keeps exactly these three.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (standardFd >= 0) {
        for (int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            posix_spawn_file_actions_adddup2(&actions, standardFd, target);
    }
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (err != 0) {
        setLastErrorFromErrno(err);
        return false;
    }
    reapLater(pid);
    if (processId != nullptr) *processId = static_cast<int>(pid);
    return true;
}

}  // namespace

void setLauncherHook(launcherHook_t hook) {
    std::shared_ptr<const launcherHook_t> next;
    if (hook) next = std::make_shared<const launcherHook_t>(std::move(hook));
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hook = std::move(next);
}

namespace {

// The value a parent handed over, taken out of the environment before main
// runs, in every program that links this file, whether it ever reads its
// command line or not: so the value reaches no other program, neither one
// this program starts by other means nor one started with its environment.
std::optional<std::string>& handedValue() {
    static std::optional<std::string> value;
    return value;
}

[[maybe_unused]] const bool handedValueTaken = [] {
    if (const char* value = std::getenv(commandLineVariable)) {
        handedValue() = std::string(value);
        ::unsetenv(commandLineVariable);
    }
    return true;
}();

// True when the Linux path names the very file this process runs. Compared
// as files, not texts, so links and folder spellings do not matter.
bool isOwnExecutable(const std::string& path) {
    struct stat own {};
    struct stat named {};
    return ::stat("/proc/self/exe", &own) == 0 && ::stat(path.c_str(), &named) == 0 &&
           own.st_dev == named.st_dev && own.st_ino == named.st_ino;
}

// The text a parent handed over, when it is the command line of this very
// start: it names this program and parses into the arguments it got.
std::optional<std::wstring> handedCommandLine(int argc, char** argv) {
    const std::optional<std::string>& value = handedValue();
    if (!value) return std::nullopt;
    const std::size_t cut = value->find('\n');
    if (cut == std::string::npos || !isOwnExecutable(value->substr(0, cut))) return std::nullopt;
    const std::wstring line = utf8ToWide(value->substr(cut + 1));
    const std::vector<std::wstring> args = parseCommandLine(line);
    if (argc < 1 || args.size() != static_cast<std::size_t>(argc)) return std::nullopt;
    for (int k = 1; k < argc; ++k)
        if (args[static_cast<std::size_t>(k)] != utf8ToWide(argv[k])) return std::nullopt;
    return line;
}

}  // namespace

void initProcessCommandLine(int argc, char** argv) {
    const std::optional<std::wstring> handed = handedCommandLine(argc, argv);
    std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    if (program.find('/') != std::string::npos) {
        program = normalizeAbsolute(program);
    } else {
        // Found through PATH by the shell: look it up the same way.
        std::string found;
        if (const char* path = std::getenv("PATH"); path != nullptr && !program.empty()) {
            const std::string list = path;
            std::size_t pos = 0;
            while (found.empty() && pos <= list.size()) {
                std::size_t end = list.find(':', pos);
                if (end == std::string::npos) end = list.size();
                const std::string dir = list.substr(pos, end - pos);
                pos = end + 1;
                if (!dir.empty() && isExecutableFile(dir + "/" + program)) found = normalizeAbsolute(dir + "/" + program);
            }
        }
        program = found.empty() ? selfExecutable() : found;
    }
    const std::wstring path = toSystemPath(program);
    std::wstring line = L"\"" + path + L"\"";
    for (int k = 1; k < argc; ++k) line += L" " + quoteArgument(utf8ToWide(argv[k]));
    if (handed) line = *handed;
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.programPath = path;
    s.commandLine = line;
}

std::wstring processCommandLine() {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.commandLine;
}

std::wstring programPath() {
    {
        auto& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.programPath.empty()) return s.programPath;
    }
    const std::string self = selfExecutable();
    return self.empty() ? std::wstring() : toSystemPath(self);
}
