#include "platform/registryHive.h"

#include "platform/codePage.h"

#include <cstdint>

namespace {

std::wstring trimLine(const std::wstring& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; };
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void skipBlanks(const std::wstring& s, std::size_t& i) {
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
}

// A quoted text starting at s[i] == '"'. Escapes: \\ \" \n \r; a backslash
// before anything else is a plain backslash (hand-edited files).
bool parseQuoted(const std::wstring& s, std::size_t& i, std::wstring& out) {
    if (i >= s.size() || s[i] != L'"') return false;
    ++i;
    out.clear();
    while (i < s.size()) {
        const wchar_t c = s[i];
        if (c == L'"') {
            ++i;
            return true;
        }
        if (c == L'\\' && i + 1 < s.size()) {
            const wchar_t n = s[i + 1];
            if (n == L'\\' || n == L'"') { out += n; i += 2; continue; }
            if (n == L'n') { out += L'\n'; i += 2; continue; }
            if (n == L'r') { out += L'\r'; i += 2; continue; }
        }
        out += c;
        ++i;
    }
    return false;
}

std::wstring quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\') out += L"\\\\";
        else if (c == L'"') out += L"\\\"";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else out += c;
    }
    out += L'"';
    return out;
}

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// 1 to 8 hex digits from s[i]; stops at the first other character.
bool parseHexNumber(const std::wstring& s, std::size_t& i, std::uint32_t& out) {
    std::size_t digits = 0;
    std::uint32_t value = 0;
    while (i < s.size() && hexDigit(s[i]) >= 0) {
        if (++digits > 8) return false;
        value = (value << 4) | static_cast<std::uint32_t>(hexDigit(s[i]));
        ++i;
    }
    out = value;
    return digits > 0;
}

// "01,02,ff" (blanks allowed around the commas); empty is no bytes.
bool parseHexBytes(const std::wstring& s, std::size_t i, std::vector<unsigned char>& out) {
    out.clear();
    skipBlanks(s, i);
    if (i == s.size()) return true;
    for (;;) {
        skipBlanks(s, i);
        std::uint32_t value = 0;
        const std::size_t start = i;
        if (!parseHexNumber(s, i, value) || i - start > 2) return false;
        out.push_back(static_cast<unsigned char>(value));
        skipBlanks(s, i);
        if (i == s.size()) return true;
        if (s[i] != L',') return false;
        ++i;
    }
}

bool startsWithNoCase(const std::wstring& s, std::size_t i, const wchar_t* word) {
    for (std::size_t k = 0; word[k] != 0; ++k) {
        if (i + k >= s.size() || upperChar(s[i + k]) != upperChar(word[k])) return false;
    }
    return true;
}

const wchar_t kHex[] = L"0123456789abcdef";

std::wstring hexBytes(const std::vector<unsigned char>& data) {
    std::wstring out;
    for (std::size_t k = 0; k < data.size(); ++k) {
        if (k > 0) out += L',';
        out += kHex[data[k] >> 4];
        out += kHex[data[k] & 0xF];
    }
    return out;
}

std::wstring hexNumber(std::uint32_t value, int width) {
    std::wstring out;
    for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
    return out;
}

// A REG_SZ value that reads back unchanged from a quoted text.
bool isPlainText(const registryValue_t& v, std::wstring& text) {
    if (v.type != REG_SZ) return false;
    const auto& d = v.data;
    if (d.size() < 2 || d.size() % 2 != 0) return false;
    std::u16string units;
    for (std::size_t k = 0; k + 1 < d.size(); k += 2)
        units.push_back(static_cast<char16_t>(d[k] | (d[k + 1] << 8)));
    if (units.back() != 0) return false;
    units.pop_back();
    for (char16_t u : units) {
        if (u < 0x20 || u == 0x7F) return false;
    }
    text = utf16ToWide(units);
    for (wchar_t c : text) {
        if (c >= 0xD800 && c < 0xE000) return false;  // an unpaired surrogate
    }
    return true;
}

}  // namespace

std::wstring registryHive_t::normalizePath(const std::wstring& path) {
    std::wstring out;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find(L'\\', pos);
        if (end == std::wstring::npos) end = path.size();
        if (end > pos) {
            if (!out.empty()) out += L'\\';
            out.append(path, pos, end - pos);
        }
        pos = end + 1;
    }
    return out;
}

bool registryHive_t::hasKey(const std::wstring& path) const {
    const std::wstring norm = normalizePath(path);
    if (norm.empty()) return true;
    return keys_.count(upperText(norm)) != 0;
}

bool registryHive_t::createKey(const std::wstring& path) {
    const std::wstring norm = normalizePath(path);
    if (norm.empty()) return false;
    const std::wstring upperNorm = upperText(norm);
    // Keys are made only here, with all their parents, and a deletion takes
    // the sub-keys along: a key that exists has its parents. Every value line
    // of a file comes here, so that case ends at once.
    if (keys_.count(upperNorm) != 0) return false;
    bool created = false;
    std::size_t pos = 0;
    while (pos <= norm.size()) {
        std::size_t end = norm.find(L'\\', pos);
        if (end == std::wstring::npos) end = norm.size();
        std::wstring upper = upperNorm.substr(0, end);
        if (keys_.count(upper) == 0) {
            keys_.emplace(std::move(upper), key_t{norm.substr(0, end), {}});
            created = true;
        }
        pos = end + 1;
    }
    return created;
}

bool registryHive_t::deleteKey(const std::wstring& path) {
    const std::wstring upper = upperText(normalizePath(path));
    if (upper.empty()) return false;
    const auto it = keys_.find(upper);
    if (it == keys_.end()) return false;
    const std::wstring below = upper + L'\\';
    auto next = keys_.erase(it);
    while (next != keys_.end() && next->first.compare(0, below.size(), below) == 0) next = keys_.erase(next);
    return true;
}

const registryHive_t::value_t* registryHive_t::findValue(const std::wstring& path, const std::wstring& name) const {
    const auto key = keys_.find(upperText(normalizePath(path)));
    if (key == keys_.end()) return nullptr;
    const auto value = key->second.values.find(upperText(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

void registryHive_t::setValue(const std::wstring& path, const std::wstring& name, const registryValue_t& value) {
    const std::wstring norm = normalizePath(path);
    if (norm.empty()) return;
    createKey(norm);
    auto& values = keys_[upperText(norm)].values;
    const std::wstring upper = upperText(name);
    const auto it = values.find(upper);
    if (it != values.end()) it->second.value = value;  // the name keeps its first case
    else values.emplace(upper, value_t{name, value});
}

bool registryHive_t::deleteValue(const std::wstring& path, const std::wstring& name) {
    const auto key = keys_.find(upperText(normalizePath(path)));
    if (key == keys_.end()) return false;
    return key->second.values.erase(upperText(name)) != 0;
}

std::size_t registryHive_t::parse(const std::string& bytes) {
    keys_.clear();
    unreadable_ = 0;
    std::wstring text = utf8ToWide(bytes);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    std::wstring currentKey;  // upper-cased; empty before the first key line
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = trimLine(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == L';') continue;

        if (line.front() == L'[') {
            const std::wstring norm = line.size() >= 2 && line.back() == L']' ? normalizePath(line.substr(1, line.size() - 2)) : std::wstring();
            if (norm.empty()) {
                ++unreadable_;
                currentKey.clear();  // its values would land in the wrong key
                continue;
            }
            createKey(norm);
            currentKey = norm;
            continue;
        }

        std::size_t i = 0;
        std::wstring name;
        if (line[0] == L'@') {
            i = 1;
        } else if (!parseQuoted(line, i, name)) {
            ++unreadable_;
            continue;
        }
        skipBlanks(line, i);
        if (currentKey.empty() || i >= line.size() || line[i] != L'=') {
            ++unreadable_;
            continue;
        }
        ++i;
        skipBlanks(line, i);
        registryValue_t value;
        bool ok = false;
        if (i < line.size() && line[i] == L'"') {
            std::wstring data;
            ok = parseQuoted(line, i, data);
            skipBlanks(line, i);
            ok = ok && i == line.size();
            if (ok) {
                value.type = REG_SZ;
                value.data = registryTextData(data);
            }
        } else if (startsWithNoCase(line, i, L"dword:")) {
            i += 6;
            std::uint32_t number = 0;
            ok = parseHexNumber(line, i, number);
            skipBlanks(line, i);
            ok = ok && i == line.size();
            if (ok) {
                value.type = REG_DWORD;
                value.data = {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                              static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
            }
        } else if (startsWithNoCase(line, i, L"hex")) {
            i += 3;
            std::uint32_t type = REG_BINARY;
            ok = true;
            if (i < line.size() && line[i] == L'(') {
                ++i;
                ok = parseHexNumber(line, i, type) && i < line.size() && line[i] == L')';
                ++i;
            }
            ok = ok && i < line.size() && line[i] == L':';
            if (ok) {
                value.type = type;
                ok = parseHexBytes(line, i + 1, value.data);
            }
        }
        if (!ok) {
            ++unreadable_;
            continue;
        }
        setValue(currentKey, name, value);
    }
    return unreadable_;
}

std::string registryHive_t::text() const {
    std::wstring out = L"; QVR registry hive (UTF-8)\n";
    for (const auto& [upper, key] : keys_) {
        (void)upper;
        out += L"\n[" + key.path + L"]\n";
        for (const auto& [upperName, v] : key.values) {
            (void)upperName;
            out += v.name.empty() ? std::wstring(L"@") : quoted(v.name);
            out += L'=';
            std::wstring plain;
            if (isPlainText(v.value, plain)) {
                out += quoted(plain);
            } else if (v.value.type == REG_DWORD && v.value.data.size() == 4) {
                const auto& d = v.value.data;
                const std::uint32_t n = static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8) |
                                        (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
                out += L"dword:" + hexNumber(n, 8);
            } else if (v.value.type == REG_BINARY) {
                out += L"hex:" + hexBytes(v.value.data);
            } else {
                int width = 1;
                while (width < 8 && (v.value.type >> (4 * width)) != 0) ++width;
                out += L"hex(" + hexNumber(v.value.type, width) + L"):" + hexBytes(v.value.data);
            }
            out += L'\n';
        }
    }
    return wideToUtf8(out);
}

bool registryHive_t::sameContent(const registryHive_t& other) const {
    if (keys_.size() != other.keys_.size()) return false;
    auto a = keys_.begin();
    auto b = other.keys_.begin();
    for (; a != keys_.end(); ++a, ++b) {
        if (a->first != b->first || a->second.path != b->second.path) return false;
        const auto& va = a->second.values;
        const auto& vb = b->second.values;
        if (va.size() != vb.size()) return false;
        auto x = va.begin();
        auto y = vb.begin();
        for (; x != va.end(); ++x, ++y) {
            if (x->first != y->first || x->second.name != y->second.name || x->second.value.type != y->second.value.type ||
                x->second.value.data != y->second.value.data)
                return false;
        }
    }
    return true;
}
