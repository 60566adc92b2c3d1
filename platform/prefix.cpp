#include "platform/prefix.h"

#include "platform/codePage.h"
#include "platform/decimal.h"
#include "platform/posixFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct entry_t {
    std::wstring key;    // as written
    std::wstring value;
};

struct section_t {
    std::wstring name;   // as written
    std::vector<entry_t> entries;
};

struct state_t {
    std::mutex lock;
    std::string root;  // empty: not determined yet
    std::atomic<unsigned> generation{1};
    // Cache of platform.conf.
    unsigned confGeneration = 0;
    fileStamp_t confStamp;
    std::vector<section_t> sections;
    // Grows at every reading of the file, never goes back (0: not read).
    unsigned confRevision = 0;
};

state_t& state() {
    static state_t* instance = new state_t;  // lives for the whole process
    return *instance;
}

const char* const kDefaultConf =
    "; The Windows world of this prefix.\n"
    "[drives]\n"
    "C=drive_c\n"
    "Z=/\n"
    "\n"
    "[folders]\n"
    "windows=C:\\Windows\n"
    "system=C:\\Windows\\system32\n"
    "desktop=C:\\Users\\Public\\Desktop\n"
    "commonprograms=C:\\ProgramData\\Start Menu\\Programs\n"
    "temp=C:\\Windows\\Temp\n"
    "\n"
    "[formats]\n"
    "shortdate=M/d/yyyy\n"
    "time=h:mm tt\n"
    "\n"
    "[identity]\n"
    "; user=, computer= (empty: the login and host names)\n"
    "\n"
    "[printer]\n"
    "; name=a printer prints there; until one is named, every document\n"
    "; becomes a PDF file in this folder:\n"
    "pdffolder=C:\\Printed\n";

// The folders behind the default [folders], inside drive_c.
const char* const kDefaultFolders[] = {
    "drive_c/Windows/system32",
    "drive_c/Windows/Temp",
    "drive_c/Users/Public/Desktop",
    "drive_c/ProgramData/Start Menu/Programs",
};

std::string absoluteFolder(const std::string& folder) {
    std::string path = folder;
    if (path.empty() || path[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr) path = std::string(cwd) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string defaultRoot() {
    const char* env = std::getenv("QVR_PREFIX");
    if (env != nullptr && *env != '\0') return absoluteFolder(env);
    const char* home = std::getenv("HOME");
    std::string h = home != nullptr ? home : "";
    if (h.empty()) {
        struct passwd pw {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_dir)
            h = found->pw_dir;
    }
    if (h.empty()) h = "/tmp";
    return absoluteFolder(h + "/.qvr");
}

// Creates whatever of the prefix is missing. Safe when several processes
// create the same prefix at once: platform.conf appears whole or not at all.
void ensurePrefix(const std::string& root) {
    makeFolders(root + "/drive_c");
    makeFolders(root + "/registry");
    makeFolders(root + "/objects");
    const std::string conf = root + "/platform.conf";
    struct stat st {};
    if (::stat(conf.c_str(), &st) == 0) return;
    for (const char* folder : kDefaultFolders) makeFolders(root + "/" + folder);
    const std::string tempPath = conf + ".new" + decimalText(::getpid());
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return;
    const std::string text(kDefaultConf);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    // link() does not replace: a configuration another process put there
    // first (or a test already changed) is kept.
    if (written) (void)::link(tempPath.c_str(), conf.c_str());
    ::unlink(tempPath.c_str());
}

const std::string& rootLocked(state_t& s) {
    if (s.root.empty()) {
        s.root = defaultRoot();
        ensurePrefix(s.root);
    }
    return s.root;
}

std::wstring trim(const std::wstring& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && (text[b] == L' ' || text[b] == L'\t' || text[b] == L'\r')) ++b;
    while (e > b && (text[e - 1] == L' ' || text[e - 1] == L'\t' || text[e - 1] == L'\r')) --e;
    return text.substr(b, e - b);
}

bool sameName(const std::wstring& a, const std::wstring& b) { return upperText(a) == upperText(b); }

std::vector<section_t> parseConf(const std::string& bytes) {
    std::vector<section_t> sections;
    const std::wstring text = utf8ToWide(bytes);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
        if (line.front() == L'[' && line.back() == L']') {
            sections.push_back(section_t{trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const std::size_t eq = line.find(L'=');
        if (eq == std::wstring::npos || sections.empty()) continue;
        sections.back().entries.push_back(entry_t{trim(line.substr(0, eq)), trim(line.substr(eq + 1))});
    }
    return sections;
}

void refreshConfLocked(state_t& s) {
    const std::string path = rootLocked(s) + "/platform.conf";
    const fileStamp_t stamp = statStamp(path);
    const unsigned generation = s.generation.load();
    if (s.confGeneration == generation && stamp == s.confStamp) return;
    fileStamp_t readStamp;
    const auto bytes = readWholeFile(path, &readStamp);
    s.sections = bytes ? parseConf(*bytes) : std::vector<section_t>{};
    s.confStamp = bytes ? readStamp : fileStamp_t{};
    s.confGeneration = generation;
    ++s.confRevision;
}

}  // namespace

std::string prefixRoot() {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return rootLocked(s);
}

void usePrefix(const std::string& linuxFolder) {
    const std::string root = absoluteFolder(linuxFolder);
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ::setenv("QVR_PREFIX", root.c_str(), 1);
    s.root = root;
    ensurePrefix(root);
    s.generation.fetch_add(1);
}

void forgetPrefix() {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.root.clear();
    s.generation.fetch_add(1);
}

unsigned prefixGeneration() { return state().generation.load(); }

std::wstring configValue(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    refreshConfLocked(s);
    // A key repeated in a file edited by hand: the last one counts.
    const std::wstring* found = nullptr;
    for (const auto& sec : s.sections) {
        if (!sameName(sec.name, section)) continue;
        for (const auto& e : sec.entries)
            if (sameName(e.key, key)) found = &e.value;
    }
    return found != nullptr ? *found : defaultValue;
}

std::vector<std::pair<std::wstring, std::wstring>> configSection(const std::wstring& section, unsigned* revision) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    refreshConfLocked(s);
    if (revision != nullptr) *revision = s.confRevision;
    std::vector<std::pair<std::wstring, std::wstring>> out;
    for (const auto& sec : s.sections) {
        if (!sameName(sec.name, section)) continue;
        for (const auto& e : sec.entries) out.emplace_back(e.key, e.value);
    }
    return out;
}

unsigned configRevision() {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    refreshConfLocked(s);
    return s.confRevision;
}

bool setConfigValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string root = rootLocked(s);
    const std::string path = root + "/platform.conf";
    fileLock_t lock(root + "/.platform.conf.lock");
    if (!lock.locked()) return false;

    // Edit the text line by line, so comments and order stay as they were.
    const std::wstring text = utf8ToWide(readWholeFile(path).value_or(std::string()));
    std::vector<std::wstring> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    const std::wstring newLine = key + L"=" + value;
    bool inSection = false;
    std::ptrdiff_t sectionEnd = -1;  // index after the last line of the section
    bool done = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        const std::wstring line = trim(lines[i]);
        if (!line.empty() && line.front() == L'[' && line.back() == L']') {
            inSection = sameName(trim(line.substr(1, line.size() - 2)), section);
            if (inSection) sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
            continue;
        }
        if (!inSection) continue;
        if (!line.empty() && line[0] != L';' && line[0] != L'#') {
            const std::size_t eq = line.find(L'=');
            if (eq != std::wstring::npos && sameName(trim(line.substr(0, eq)), key)) {
                lines[i] = newLine;
                done = true;
                continue;
            }
        }
        if (!line.empty()) sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
    }
    if (!done) {
        if (sectionEnd >= 0) {
            lines.insert(lines.begin() + sectionEnd, newLine);
        } else {
            if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back(L"");
            lines.push_back(L"[" + section + L"]");
            lines.push_back(newLine);
        }
    }
    std::wstring out;
    for (const auto& l : lines) out += l + L"\n";
    const bool ok = replaceFileAtomically(path, wideToUtf8(out));
    s.confGeneration = 0;  // re-read at the next lookup
    return ok;
}
