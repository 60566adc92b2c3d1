#include "tests/support/takenPort.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The inodes of the sockets that listen on the port, from the kernel's tables
// ("0100007F:2212 ... 0A ... <inode>": local address in hex, state 0A LISTEN).
std::set<std::string> listeningInodes(int port) {
    std::set<std::string> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream lines(table);
        std::string line;
        std::getline(lines, line); // the heading
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                  timeout >> inode))
                continue;
            const std::size_t colon = local.rfind(':');
            if (state == "0A" && colon != std::string::npos &&
                std::strtol(local.c_str() + colon + 1, nullptr, 16) == port)
                inodes.insert(inode);
        }
    }
    return inodes;
}

std::string environmentValue(pid_t pid, const std::string& name) {
    std::ifstream environment("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string entry;
    while (std::getline(environment, entry, '\0'))
        if (entry.rfind(name + "=", 0) == 0)
            return entry.substr(name.size() + 1);
    return {};
}

} // namespace

bool portTaken(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool taken =
        (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0) &&
        errno == EADDRINUSE;
    ::close(fd);
    return taken;
}

portHolder_t portHolder(int port) {
    portHolder_t holder;
    std::set<std::string> sockets;
    for (const std::string& inode : listeningInodes(port))
        sockets.insert("socket:[" + inode + "]");
    if (sockets.empty())
        return holder;
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code fdError;
        for (const fs::directory_entry& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (sockets.count(fs::read_symlink(fd.path(), linkError).string()) == 0)
                continue;
            holder.pid = static_cast<pid_t>(std::stol(name));
            holder.program = fs::read_symlink(process.path() / "exe", linkError).string();
            // A program file replaced while it runs (a new demo installation).
            const std::string deleted = " (deleted)";
            if (holder.program.size() > deleted.size() &&
                holder.program.compare(holder.program.size() - deleted.size(), deleted.size(), deleted) == 0)
                holder.program.resize(holder.program.size() - deleted.size());
            holder.prefix = environmentValue(holder.pid, "QVR_PREFIX");
            return holder;
        }
    }
    return holder;
}

std::string portTakenNote(int port) {
    if (!portTaken(port))
        return {};
    const portHolder_t holder = portHolder(port);
    const std::string taken = "port " + std::to_string(port) + " is taken by ";
    if (holder.pid == 0)
        return taken + "a program this user cannot see; stop it to run this test";
    const std::string file = fs::path(holder.program).filename().string();
    const std::string who =
        taken + file + " (process " + std::to_string(holder.pid) + ", " + holder.program + ")";
    if (file != "Wendaro.exe")
        return who + "; stop it to run this test";
    // Its "/c" reaches the running instance through the registry of its own prefix.
    const std::string prefix = holder.prefix.empty() ? "" : "QVR_PREFIX=\"" + holder.prefix + "\" ";
    return who + "; stop it with " + prefix + "\"" + holder.program + "\" /c";
}
