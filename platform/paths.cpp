#include "platform/paths.h"

#include "platform/codePage.h"
#include "platform/lastError.h"
#include "platform/posixFile.h"
#include "platform/prefix.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct drive_t {
    wchar_t letter;        // upper case
    std::string root;      // absolute Linux path, no trailing '/' (except "/")
    std::string realRoot;  // root with its links resolved; empty while it does not exist
};

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::string cwdPath() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
    return buffer;
}

std::string joinLinux(const std::string& base, const std::string& name) {
    if (base.empty() || base == "/") return "/" + name;
    return base + "/" + name;
}

std::string parentLinux(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

std::string realPathOf(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) != nullptr ? std::string(real) : std::string();
}

struct driveMap_t {
    unsigned revision = 0;
    std::vector<drive_t> drives;
};

std::shared_ptr<const driveMap_t> buildDriveMap() {
    auto map = std::make_shared<driveMap_t>();
    const std::string root = prefixRoot();
    for (const auto& [key, value] : configSection(L"drives", &map->revision)) {
        if (key.size() != 1 || !isLetter(key[0]) || value.empty()) continue;
        std::string target = wideToUtf8(value);
        if (target[0] != '/') target = root + "/" + target;
        drive_t d{upperChar(key[0]), normalizeLinux(target), {}};
        // A later line for the same letter replaces an earlier one.
        const auto same = std::find_if(map->drives.begin(), map->drives.end(),
                                       [&](const drive_t& x) { return x.letter == d.letter; });
        if (same != map->drives.end()) *same = d;
        else map->drives.push_back(d);
    }
    for (auto& d : map->drives)
        if (d.root != "/") d.realRoot = realPathOf(d.root);
    return map;
}

// Every file operation maps its path through the drives, so the map is kept
// and built again only when platform.conf was read again: rebuilding it (and
// resolving each root's links) cost more than the operation it served.
std::shared_ptr<const driveMap_t> mappedDrives() {
    static std::mutex lock;
    static std::shared_ptr<const driveMap_t> cached;
    const unsigned revision = configRevision();
    {
        std::lock_guard<std::mutex> guard(lock);
        if (cached && cached->revision == revision) return cached;
    }
    auto map = buildDriveMap();
    std::lock_guard<std::mutex> guard(lock);
    // Of two threads that rebuilt at once, the newer reading stays.
    if (!cached || cached->revision <= map->revision) cached = map;
    return map;
}

// The root with its links resolved. A root that did not exist when the map
// was built is asked again, so that a drive folder created later counts.
std::string realRootOf(const drive_t& d) { return d.realRoot.empty() ? realPathOf(d.root) : d.realRoot; }

const drive_t* findDrive(const std::vector<drive_t>& drives, wchar_t letter) {
    for (const auto& d : drives)
        if (d.letter == upperChar(letter)) return &d;
    return nullptr;
}

bool insideRoot(const std::string& path, const std::string& root) {
    if (root == "/") return true;
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

// The drive that a Linux path lies in: the longest mapped root containing
// it. The catch-all root "/" counts only when allowCatchAll is set.
const drive_t* driveContaining(const std::vector<drive_t>& drives, const std::string& path, bool allowCatchAll) {
    const drive_t* best = nullptr;
    for (const auto& d : drives) {
        if (d.root == "/" && !allowCatchAll) continue;
        if (!insideRoot(path, d.root)) continue;
        if (best == nullptr || d.root.size() > best->root.size()) best = &d;
    }
    return best;
}

// The drive whose root a leading separator names: the one holding the
// current folder, never the catch-all (there "\batchTrace.log" would land
// in "/"), else C:.
wchar_t currentDriveLetter(const std::vector<drive_t>& drives) {
    const std::string cwd = cwdPath();
    const drive_t* d = driveContaining(drives, cwd, false);
    if (d == nullptr) {
        const std::string real = realPathOf(cwd);
        if (!real.empty()) {
            for (const auto& x : drives) {
                if (x.root == "/") continue;
                const std::string realRoot = realRootOf(x);
                if (!realRoot.empty() && insideRoot(real, realRoot)) {
                    if (d == nullptr || x.root.size() > d->root.size()) d = &x;
                }
            }
        }
    }
    return d != nullptr ? d->letter : L'C';
}

// The characters no name may hold, by table: every path a file operation
// names goes through here, character by character.
struct invalidNameChars_t {
    bool is[128] = {};
    constexpr invalidNameChars_t() {
        for (int c = 0; c < 0x20; ++c) is[c] = true;
        for (char c : {'<', '>', ':', '"', '|', '?', '*'}) is[static_cast<int>(c)] = true;
    }
};
constexpr invalidNameChars_t invalidNameChars;

bool invalidNameChar(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return u < 128 ? invalidNameChars.is[u] : c < 0;
}

// Whether a directory entry, upper-cased, is `wanted` (already upper-cased).
// Upper-casing keeps ASCII within ASCII and never makes ASCII of anything
// else, and the bytes before the first non-ASCII one decode to themselves:
// they are compared in place, and only a name that agrees up to a non-ASCII
// byte is decoded (a folder is listed whenever a name is not there in its
// exact case, so this runs once per entry of the folder).
bool upperEquals(const char* entry, const std::wstring& wanted) {
    std::size_t i = 0;
    for (; entry[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(entry[i]);
        if (c >= 0x80) return upperText(utf8ToWide(entry)) == wanted;
        const wchar_t upper = c >= 'a' && c <= 'z' ? static_cast<wchar_t>(c - 0x20) : static_cast<wchar_t>(c);
        if (i >= wanted.size() || upper != wanted[i]) return false;
    }
    return i == wanted.size();
}

// The entry of `folder` that equals `name` ignoring case: the first in
// upper-case ordinal order (then by the exact name, for determinism). Every
// match upper-cases to the same text, so the order among them is the
// exact name's.
bool findCaseVariant(const std::string& folder, const std::wstring& name, std::string& found) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    const std::wstring wanted = upperText(name);
    bool any = false;
    std::string best;
    while (const dirent* e = ::readdir(dir)) {
        if (!upperEquals(e->d_name, wanted)) continue;
        if (!any || best.compare(e->d_name) > 0) {
            any = true;
            best = e->d_name;
        }
    }
    ::closedir(dir);
    if (any) found = best;
    return any;
}

}  // namespace

std::optional<std::string> resolvePath(const std::wstring& systemPath) {
    if (systemPath.size() > static_cast<std::size_t>(MAX_PATH - 1)) {
        setLastError(ERROR_FILENAME_EXCED_RANGE);
        return std::nullopt;
    }
    if (systemPath.empty()) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    const auto map = mappedDrives();
    const std::vector<drive_t>& drives = map->drives;
    std::string base;
    std::string floor = "/";  // ".." never climbs above this
    std::size_t pos = 0;
    if (systemPath.size() >= 2 && systemPath[1] == L':' && isLetter(systemPath[0])) {
        const drive_t* d = findDrive(drives, systemPath[0]);
        if (d == nullptr) {
            setLastError(ERROR_PATH_NOT_FOUND);
            return std::nullopt;
        }
        pos = 2;
        const bool rooted = systemPath.size() > 2 && isSeparator(systemPath[2]);
        // "C:name" is relative to the current folder when that lies on C:.
        if (!rooted && currentDriveLetter(drives) == d->letter) {
            base = cwdPath();
        } else {
            base = d->root;
            floor = d->root;
        }
    } else if (isSeparator(systemPath[0])) {
        if (systemPath.size() > 1 && isSeparator(systemPath[1])) {
            // Network names ("\\server\share") have no counterpart here.
            setLastError(ERROR_BAD_PATHNAME);
            return std::nullopt;
        }
        const drive_t* d = findDrive(drives, currentDriveLetter(drives));
        if (d == nullptr) {
            setLastError(ERROR_PATH_NOT_FOUND);
            return std::nullopt;
        }
        base = d->root;
        floor = d->root;
    } else {
        base = cwdPath();
    }

    // An invalid name fails before anything is looked at. Separators are
    // valid and ".." holds none of the invalid characters, so the whole rest
    // is checked at once.
    for (std::size_t i = pos; i < systemPath.size(); ++i) {
        if (invalidNameChar(systemPath[i])) {
            setLastError(ERROR_INVALID_NAME);
            return std::nullopt;
        }
    }
    // The components. The rest holds no zero character now (it would be
    // invalid), so wcscspn finds each separator or the end.
    std::vector<std::wstring> parts;
    while (pos <= systemPath.size()) {
        const std::size_t end = pos + std::wcscspn(systemPath.c_str() + pos, L"\\/");
        const std::wstring part = systemPath.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == L".") continue;
        parts.push_back(part);
    }

    std::string current = base;
    bool missing = false;  // once a component is missing, the rest keep their case
    for (const auto& part : parts) {
        if (part == L"..") {
            if (current != floor && insideRoot(current, floor)) current = parentLinux(current);
            missing = false;
            continue;
        }
        const std::string exact = joinLinux(current, wideToUtf8(part));
        if (missing) {
            current = exact;
            continue;
        }
        struct stat st {};
        if (::lstat(exact.c_str(), &st) == 0) {
            current = exact;
            continue;
        }
        std::string variant;
        if (findCaseVariant(current, part, variant)) {
            current = joinLinux(current, variant);
        } else {
            current = exact;
            missing = true;
        }
    }
    return current;
}

std::wstring toSystemPath(const std::string& linuxPath) {
    std::string path = linuxPath;
    if (path.empty() || path[0] != '/') path = joinLinux(cwdPath(), path);
    path = normalizeLinux(path);
    const auto map = mappedDrives();
    const std::vector<drive_t>& drives = map->drives;

    auto textFor = [](wchar_t letter, const std::string& root, const std::string& p) {
        std::string rest = root == "/" ? p.substr(1) : (p.size() > root.size() ? p.substr(root.size() + 1) : "");
        std::wstring out;
        out += letter;
        out += L":\\";
        for (wchar_t c : utf8ToWide(rest)) out += c == L'/' ? L'\\' : c;
        return out;
    };

    if (const drive_t* d = driveContaining(drives, path, false)) return textFor(d->letter, d->root, path);
    // The same folder reached through a symbolic link (a temporary folder
    // under a linked /tmp, say): compare the real paths.
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) != nullptr) {
        const drive_t* best = nullptr;
        std::string bestRoot;
        for (const auto& d : drives) {
            if (d.root == "/") continue;
            const std::string realRoot = realRootOf(d);
            if (realRoot.empty()) continue;
            if (insideRoot(real, realRoot) && (best == nullptr || realRoot.size() > bestRoot.size())) {
                best = &d;
                bestRoot = realRoot;
            }
        }
        if (best != nullptr) return textFor(best->letter, bestRoot, real);
    }
    const drive_t* catchAll = driveContaining(drives, path, true);
    return textFor(catchAll != nullptr ? catchAll->letter : L'Z', "/", path);
}

std::wstring currentFolder() { return toSystemPath(cwdPath()); }

bool setCurrentFolder(const std::wstring& systemPath) {
    const auto path = resolvePath(systemPath);
    if (!path) return false;
    if (::chdir(path->c_str()) != 0) {
        setErrorForPath(errno, *path);
        return false;
    }
    return true;
}

namespace {

bool globMatch(const std::wstring& p, const std::wstring& n) {
    std::size_t pi = 0;
    std::size_t ni = 0;
    std::size_t starP = std::wstring::npos;
    std::size_t starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == L'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::wstring::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*') ++pi;
    return pi == p.size();
}

}  // namespace

bool wildcardMatch(const std::wstring& pattern, const std::wstring& name) {
    const std::wstring p = upperText(pattern);
    const std::wstring n = upperText(name);
    if (globMatch(p, n)) return true;
    // "x.*" also matches "x" without a dot ("*.*" matches every name).
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, L".*") == 0 && n.find(L'.') == std::wstring::npos &&
        globMatch(p.substr(0, p.size() - 2), n))
        return true;
    // "*." matches the names without an extension.
    if (p.size() >= 2 && p.back() == L'.' && p != L".." && n.find(L'.') == std::wstring::npos &&
        globMatch(p.substr(0, p.size() - 1), n))
        return true;
    return false;
}
