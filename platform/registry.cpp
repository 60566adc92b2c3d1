#include "platform/registry.h"

#include "platform/asciiRuns.h"
#include "platform/codePage.h"
#include "platform/lastError.h"
#include "platform/posixFile.h"
#include "platform/prefix.h"
#include "platform/registryHive.h"

#include <cerrno>
#include <cstdint>
#include <functional>
#include <mutex>

namespace {

struct hiveCache_t {
    unsigned generation = 0;
    std::string path;
    fileStamp_t stamp;
    registryHive_t hive;
};

struct state_t {
    // Serializes this process's threads; other processes are kept apart by
    // the flock on registry/.lock, and readers never see a half-written file
    // because writers rename a finished one into place.
    std::mutex lock;
    hiveCache_t machine;
    hiveCache_t user;
};

state_t& state() {
    static state_t* instance = new state_t;
    return *instance;
}

bool validRoot(HKEY root) {
    return root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT;
}

std::string hivePath(HKEY root) {
    return prefixRoot() + (root == HKEY_CURRENT_USER ? "/registry/HKCU.reg" : "/registry/HKLM.reg");
}

hiveCache_t& cacheFor(state_t& s, HKEY root) { return root == HKEY_CURRENT_USER ? s.user : s.machine; }

// The classes root lives inside the machine hive.
std::wstring keyPathFor(HKEY root, const std::wstring& keyPath) {
    if (root == HKEY_CLASSES_ROOT) return L"SOFTWARE\\Classes\\" + keyPath;
    return keyPath;
}

bool validKeyPath(const std::wstring& keyPath) {
    // A line break cannot be stored in a key line of the file.
    return keyPath.find(L'\n') == std::wstring::npos && keyPath.find(L'\r') == std::wstring::npos;
}

// The hive as it is on disk now, re-read when the file was replaced or
// changed since the last look (or the prefix was switched).
const registryHive_t& currentHive(state_t& s, HKEY root) {
    hiveCache_t& cache = cacheFor(s, root);
    const std::string path = hivePath(root);
    const unsigned generation = prefixGeneration();
    const fileStamp_t now = statStamp(path);
    if (cache.generation == generation && cache.path == path && cache.stamp == now) return cache.hive;
    fileStamp_t readStamp;
    const auto bytes = readWholeFile(path, &readStamp);
    if (bytes) {
        cache.hive.parse(*bytes);
        cache.stamp = readStamp;
    } else {
        cache.hive.parse(std::string());
        cache.stamp = fileStamp_t{};
    }
    cache.generation = generation;
    cache.path = path;
    return cache.hive;
}

// Read-modify-write under the exclusive lock. `change` edits the hive and
// tells whether anything changed; only then is the file rewritten.
DWORD modifyHive(HKEY root, const std::function<DWORD(registryHive_t&, bool&)>& change) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string path = hivePath(root);
    fileLock_t lock(prefixRoot() + "/registry/.lock");
    if (!lock.locked()) return errnoToSystemError(errno);

    const auto bytes = readWholeFile(path);
    registryHive_t hive;
    const std::size_t unreadable = bytes ? hive.parse(*bytes) : 0;
    bool changed = false;
    const DWORD result = change(hive, changed);
    if (!changed) return result;

    // The lines that could not be read are lost by the rewrite: keep the
    // file as it was beside it.
    if (unreadable > 0 && !replaceFileAtomically(path + ".bad", *bytes)) return errnoToSystemError(errno);
    if (!replaceFileAtomically(path, hive.text())) return errnoToSystemError(errno);

    hiveCache_t& cache = cacheFor(s, root);
    cache.hive = std::move(hive);
    cache.stamp = statStamp(path);
    cache.generation = prefixGeneration();
    cache.path = path;
    return result;
}

DWORD checkArguments(HKEY root, const std::wstring& keyPath) {
    if (!validRoot(root)) return ERROR_INVALID_HANDLE;
    if (!validKeyPath(keyPath)) return ERROR_BADKEY;
    return ERROR_SUCCESS;
}

}  // namespace

DWORD registryOpenKey(HKEY root, const std::wstring& keyPath) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return currentHive(s, root).hasKey(keyPathFor(root, keyPath)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD registryCreateKey(HKEY root, const std::wstring& keyPath) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    const std::wstring key = keyPathFor(root, keyPath);
    if (registryHive_t::normalizePath(key).empty()) return ERROR_SUCCESS;  // the root itself
    return modifyHive(root, [&](registryHive_t& hive, bool& changed) {
        changed = hive.createKey(key);
        return ERROR_SUCCESS;
    });
}

DWORD registryQueryValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                         registryValue_t& value) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const registryHive_t& hive = currentHive(s, root);
    const std::wstring key = keyPathFor(root, keyPath);
    if (!hive.hasKey(key)) return ERROR_FILE_NOT_FOUND;
    const auto* found = hive.findValue(key, valueName);
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    value = found->value;
    return ERROR_SUCCESS;
}

DWORD registrySetValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                       const registryValue_t& value) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    const std::wstring key = keyPathFor(root, keyPath);
    if (registryHive_t::normalizePath(key).empty()) return ERROR_ACCESS_DENIED;  // no values on a root here
    return modifyHive(root, [&](registryHive_t& hive, bool& changed) {
        const auto* old = hive.findValue(key, valueName);
        changed = old == nullptr || old->value.type != value.type || old->value.data != value.data;
        if (changed) hive.setValue(key, valueName, value);
        return ERROR_SUCCESS;
    });
}

DWORD registryDeleteValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    const std::wstring key = keyPathFor(root, keyPath);
    return modifyHive(root, [&](registryHive_t& hive, bool& changed) {
        if (!hive.hasKey(key)) return ERROR_FILE_NOT_FOUND;
        changed = hive.deleteValue(key, valueName);
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

DWORD registryDeleteKey(HKEY root, const std::wstring& keyPath) {
    if (const DWORD bad = checkArguments(root, keyPath)) return bad;
    const std::wstring key = keyPathFor(root, keyPath);
    if (registryHive_t::normalizePath(key).empty()) return ERROR_ACCESS_DENIED;
    return modifyHive(root, [&](registryHive_t& hive, bool& changed) {
        changed = hive.deleteKey(key);
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

// Every text value of a hive file passes through here when it is read:
// UTF-16LE written straight into a result sized for one unit per character,
// which grows only for the rare character that needs a surrogate pair.
std::vector<unsigned char> registryTextData(const std::wstring& text) {
    std::vector<unsigned char> data(text.size() * 2 + 2);
    std::size_t k = 0;
    const wchar_t* p = text.data();
    const wchar_t* const end = p + text.size();
    while (p != end) {
        // Two characters below U+10000 a word, each one unit.
        while (end - p >= 2) {
            const std::uint64_t w = loadWord(p);
            if ((w & 0xFFFF0000FFFF0000ull) != 0) break;
            storeHalfWord(data.data() + k, static_cast<std::uint32_t>((w & 0xFFFF) | ((w >> 16) & 0xFFFF0000)));
            p += 2;
            k += 4;
        }
        if (p == end) break;
        auto c = static_cast<std::uint32_t>(*p++);
        if (c > 0x10FFFF) c = 0xFFFD;  // beyond Unicode, as the UTF-16 conversion does
        if (c >= 0x10000) {
            c -= 0x10000;
            const std::uint32_t high = 0xD800 + (c >> 10);
            const std::uint32_t low = 0xDC00 + (c & 0x3FF);
            data.resize(data.size() + 2);
            data[k++] = static_cast<unsigned char>(high & 0xFF);
            data[k++] = static_cast<unsigned char>(high >> 8);
            data[k++] = static_cast<unsigned char>(low & 0xFF);
            data[k++] = static_cast<unsigned char>(low >> 8);
        } else {
            data[k++] = static_cast<unsigned char>(c & 0xFF);
            data[k++] = static_cast<unsigned char>(c >> 8);
        }
    }
    // The last two bytes are the terminating zero, already in place.
    return data;
}

std::wstring registryDataText(const std::vector<unsigned char>& data) {
    std::u16string units;
    for (std::size_t k = 0; k + 1 < data.size(); k += 2) {
        const auto u = static_cast<char16_t>(data[k] | (data[k + 1] << 8));
        if (u == 0) break;
        units.push_back(u);
    }
    return utf16ToWide(units);
}
