#include "platform/registryHive.h"

#include "platform/asciiRuns.h"
#include "platform/codePage.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

// Every character the file format itself uses ('[', ']', '\', '"', '@',
// '=', blanks, hex digits, "dword:", "hex") is ASCII, and an ASCII byte is
// never part of a UTF-8 sequence: so a line is taken apart in its bytes, and
// only the names and texts in it are converted, each once. This reads the
// same as converting the whole file first.

namespace {

using keyMap_t = registryHive_t::keyMap_t;
using key_t = registryHive_t::key_t;

constexpr unsigned char kNoDigit = 0xFF;

constexpr std::array<unsigned char, 256> makeHexTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        unsigned char v = kNoDigit;
        if (c >= '0' && c <= '9') v = static_cast<unsigned char>(c - '0');
        if (c >= 'a' && c <= 'f') v = static_cast<unsigned char>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') v = static_cast<unsigned char>(c - 'A' + 10);
        table[static_cast<std::size_t>(c)] = v;
    }
    return table;
}
constexpr std::array<unsigned char, 256> kHexValue = makeHexTable();

unsigned hexValue(char c) { return kHexValue[static_cast<unsigned char>(c)]; }

void skipBlanks(const char*& p, const char* end) {
    while (p != end && (*p == ' ' || *p == '\t')) ++p;
}

bool lineBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A quoted text starting at *p == '"', decoded into `out`. Escapes: \\ \"
// \n \r; a backslash before anything else is a plain backslash (hand-edited
// files). The text between escapes is found with memchr and converted in
// one piece.
bool parseQuoted(const char*& p, const char* end, std::wstring& out) {
    out.clear();
    if (p == end || *p != '"') return false;
    const char* s = p + 1;
    const char* quote = static_cast<const char*>(std::memchr(s, '"', static_cast<std::size_t>(end - s)));
    for (;;) {
        const char* stop = quote != nullptr ? quote : end;
        const char* slash = static_cast<const char*>(std::memchr(s, '\\', static_cast<std::size_t>(stop - s)));
        if (slash == nullptr) {
            appendUtf8AsWide(out, std::string_view(s, static_cast<std::size_t>(stop - s)));
            if (quote == nullptr) return false;
            p = quote + 1;
            return true;
        }
        appendUtf8AsWide(out, std::string_view(s, static_cast<std::size_t>(slash - s)));
        s = slash + 1;
        if (s == end) return false;  // a last backslash, and no closing quote after it
        switch (*s) {
        case '\\': out += L'\\'; ++s; break;
        case 'n': out += L'\n'; ++s; break;
        case 'r': out += L'\r'; ++s; break;
        case '"':
            out += L'"';
            ++s;
            // That was the quote we took for the closing one: look further.
            quote = static_cast<const char*>(std::memchr(s, '"', static_cast<std::size_t>(end - s)));
            break;
        default: out += L'\\'; break;
        }
    }
}

// 1 to 8 hex digits from *p; stops at the first other character.
bool parseHexNumber(const char*& p, const char* end, std::uint32_t& out) {
    std::size_t digits = 0;
    std::uint32_t value = 0;
    while (p != end && hexValue(*p) != kNoDigit) {
        if (++digits > 8) return false;
        value = (value << 4) | hexValue(*p);
        ++p;
    }
    out = value;
    return digits > 0;
}

// "01,02,ff" (blanks allowed around the commas); empty is no bytes.
bool parseHexBytes(const char* p, const char* end, std::vector<unsigned char>& out) {
    out.clear();
    skipBlanks(p, end);
    if (p == end) return true;
    // At most one byte per two characters ("1,2,3").
    out.reserve(static_cast<std::size_t>(end - p) / 2 + 1);
    for (;;) {
        skipBlanks(p, end);
        if (p == end || hexValue(*p) == kNoDigit) return false;
        unsigned value = hexValue(*p++);
        if (p != end && hexValue(*p) != kNoDigit) {
            value = (value << 4) | hexValue(*p++);
            if (p != end && hexValue(*p) != kNoDigit) return false;  // a byte has two digits at most
        }
        out.push_back(static_cast<unsigned char>(value));
        skipBlanks(p, end);
        if (p == end) return true;
        if (*p != ',') return false;
        ++p;
    }
}

// `word` in lower case ASCII letters and punctuation; letters match either case.
bool startsWithNoCase(const char* p, const char* end, std::string_view word) {
    if (static_cast<std::size_t>(end - p) < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        const char c = p[k];
        const char w = word[k];
        const bool letter = w >= 'a' && w <= 'z';
        if (letter ? (c | 0x20) != w : c != w) return false;
    }
    return true;
}

// The value after '=' up to the end of the line.
bool parseValueData(const char* p, const char* end, std::wstring& text, registryValue_t& value) {
    if (p != end && *p == '"') {
        if (!parseQuoted(p, end, text)) return false;
        skipBlanks(p, end);
        if (p != end) return false;
        value.type = REG_SZ;
        value.data = registryTextData(text);
        return true;
    }
    if (startsWithNoCase(p, end, "dword:")) {
        p += 6;
        std::uint32_t number = 0;
        if (!parseHexNumber(p, end, number)) return false;
        skipBlanks(p, end);
        if (p != end) return false;
        value.type = REG_DWORD;
        value.data = {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                      static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
        return true;
    }
    if (startsWithNoCase(p, end, "hex")) {
        p += 3;
        std::uint32_t type = REG_BINARY;
        if (p != end && *p == '(') {
            ++p;
            if (!parseHexNumber(p, end, type) || p == end || *p != ')') return false;
            ++p;
        }
        if (p == end || *p != ':') return false;
        value.type = type;
        return parseHexBytes(p + 1, end, value.data);
    }
    return false;
}

void normalizeInto(std::wstring_view path, std::wstring& out) {
    out.clear();
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find(L'\\', pos);
        if (end == std::wstring_view::npos) end = path.size();
        if (end > pos) {
            if (!out.empty()) out += L'\\';
            out.append(path.substr(pos, end - pos));
        }
        pos = end + 1;
    }
}

// Appends the non-empty components of a key path given in UTF-8, joined
// by '\', to a normalized path (joined to it by '\' when it has any). A path
// without empty components, as every written file has, is converted whole.
void appendPathComponents(const char* p, std::size_t size, std::wstring& out) {
    if (size == 0) return;
    if (p[0] != '\\' && p[size - 1] != '\\' && ::memmem(p, size, "\\\\", 2) == nullptr) {
        if (!out.empty()) out += L'\\';
        appendUtf8AsWide(out, std::string_view(p, size));
        return;
    }
    const char* const end = p + size;
    while (p != end) {
        const char* slash = static_cast<const char*>(std::memchr(p, '\\', static_cast<std::size_t>(end - p)));
        if (slash == nullptr) slash = end;
        if (slash != p) {
            if (!out.empty()) out += L'\\';
            appendUtf8AsWide(out, std::string_view(p, static_cast<std::size_t>(slash - p)));
        }
        p = slash == end ? end : slash + 1;
    }
}

void upperInto(std::wstring_view text, std::wstring& out) {
    out.assign(text);
    upperInPlace(out);
}

// The key of a normalized path and its upper-cased form (same length, same
// separators), made with its missing parents when it is missing; the flag
// tells whether anything was made. Keys are made only here, with all their
// parents, and a deletion takes the sub-keys along: a key that exists has
// its parents, so the walk up stops at the first one found.
//
// A written file lists its keys in order, each after its parent: so a new
// key is first tried after the last one, and a parent right before the key
// below it. Either costs one comparison; only a miss searches the tree.
std::pair<key_t*, bool> ensureKey(keyMap_t& keys, std::wstring_view norm, std::wstring_view upper) {
    keyMap_t::iterator at = keys.end();
    if (keys.empty() || !(std::prev(keys.end())->first < upper)) {
        at = keys.lower_bound(upper);
        if (at != keys.end() && at->first == upper) return {&at->second, false};
    }
    key_t* made = nullptr;
    std::size_t length = upper.size();
    for (;;) {
        const auto node = keys.emplace_hint(at, std::wstring(upper.substr(0, length)), key_t{std::wstring(norm.substr(0, length)), {}});
        if (made == nullptr) made = &node->second;
        const std::size_t separator = upper.substr(0, length).rfind(L'\\');
        if (separator == std::wstring_view::npos) break;
        length = separator;
        const std::wstring_view parent = upper.substr(0, length);
        // The parent sorts before the key: it belongs right before it unless
        // keys that start with the parent's text sort between the two.
        at = node;
        if (node == keys.begin()) continue;
        const auto before = std::prev(node);
        if (before->first == parent) break;
        if (before->first < parent) continue;
        at = keys.lower_bound(parent);
        if (at != keys.end() && at->first == parent) break;
    }
    return {made, true};
}

void storeValue(key_t& key, std::wstring_view name, std::wstring_view upperName, registryValue_t&& value) {
    const auto at = key.values.lower_bound(upperName);
    if (at != key.values.end() && at->first == upperName) {
        at->second.value = std::move(value);  // the name keeps its first case
        return;
    }
    key.values.emplace_hint(at, std::wstring(upperName), registryHive_t::value_t{std::wstring(name), std::move(value)});
}

// Output is written into a text sized beforehand: each piece below grows the
// text to its longest form, writes through a pointer and trims the rest.
const char kHex[] = "0123456789abcdef";

void appendHexBytes(std::string& out, const std::vector<unsigned char>& data) {
    if (data.empty()) return;
    const std::size_t start = out.size();
    out.resize(start + data.size() * 3 - 1);
    char* o = out.data() + start;
    *o++ = kHex[data[0] >> 4];
    *o++ = kHex[data[0] & 0xF];
    for (std::size_t k = 1; k < data.size(); ++k) {
        *o++ = ',';
        *o++ = kHex[data[k] >> 4];
        *o++ = kHex[data[k] & 0xF];
    }
}

void appendHexNumber(std::string& out, std::uint32_t value, int width) {
    for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

// A name between quotes, '\' '"' and line breaks escaped.
void appendQuoted(std::string& out, std::wstring_view text) {
    out += '"';
    std::size_t run = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const wchar_t c = text[k];
        if (c > L'\\' || (c != L'\\' && c != L'"' && c != L'\n' && c != L'\r')) continue;
        appendWideAsUtf8(out, text.substr(run, k - run));
        out += '\\';
        out += c == L'\n' ? 'n' : c == L'\r' ? 'r' : static_cast<char>(c);
        run = k + 1;
    }
    appendWideAsUtf8(out, text.substr(run));
    out += '"';
}

// Four UTF-16 units, one word, that a quoted text holds as they are:
// printable ASCII other than '"' and '\'. With every unit below 0x80, each
// sum below sets bit 7 of a unit exactly when the unit passes that test.
bool plainAsciiUnits(std::uint64_t w) {
    if ((w & 0xFF80FF80FF80FF80ull) != 0) return false;
    constexpr std::uint64_t kBit7 = 0x0080008000800080ull;
    const std::uint64_t fromSpace = w + 0x0060006000600060ull;
    const std::uint64_t belowDelete = ~(w + 0x0001000100010001ull);
    const std::uint64_t notQuote = (w ^ 0x0022002200220022ull) + 0x007F007F007F007Full;
    const std::uint64_t notBackslash = (w ^ 0x005C005C005C005Cull) + 0x007F007F007F007Full;
    return (fromSpace & belowDelete & notQuote & notBackslash & kBit7) == kBit7;
}

// A REG_SZ value that reads back unchanged from a quoted text, written as
// one; false, with nothing written, for any other value. Plain means: whole
// UTF-16 units ending in one zero, no control character, no surrogate
// without its other half.
bool appendPlainText(std::string& out, const registryValue_t& v) {
    if (v.type != REG_SZ) return false;
    const auto& d = v.data;
    if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 2] != 0 || d[d.size() - 1] != 0) return false;
    const std::size_t start = out.size();
    const auto notPlain = [&] {
        out.resize(start);
        return false;
    };
    // At most three bytes per unit: an escaped ASCII character takes two, a
    // character below U+10000 three, a pair of units four.
    out.resize(start + 2 + (d.size() / 2 - 1) * 3);
    char* const first = out.data() + start;
    char* o = first;
    *o++ = '"';
    const unsigned char* u = d.data();
    const unsigned char* const end = u + d.size() - 2;
    while (u != end) {
        while (end - u >= 8) {
            const std::uint64_t w = loadWord(u);
            if (!plainAsciiUnits(w)) break;
            storeHalfWord(o, static_cast<std::uint32_t>((w & 0xFF) | ((w >> 8) & 0xFF00) | ((w >> 16) & 0xFF0000) |
                                                        ((w >> 24) & 0xFF000000)));
            u += 8;
            o += 4;
        }
        if (u == end) break;
        std::uint32_t c = u[0] | (static_cast<std::uint32_t>(u[1]) << 8);
        u += 2;
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) return notPlain();
            if (c == '\\' || c == '"') *o++ = '\\';
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xE000) {
            if (c >= 0xDC00 || u == end) return notPlain();
            const std::uint32_t low = u[0] | (static_cast<std::uint32_t>(u[1]) << 8);
            if (low < 0xDC00 || low >= 0xE000) return notPlain();
            u += 2;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
        } else {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    *o++ = '"';
    out.resize(start + static_cast<std::size_t>(o - first));
    return true;
}

}  // namespace

std::wstring registryHive_t::normalizePath(const std::wstring& path) {
    std::wstring out;
    out.reserve(path.size());
    normalizeInto(path, out);
    return out;
}

bool registryHive_t::hasKey(const std::wstring& path) const {
    std::wstring key = normalizePath(path);
    if (key.empty()) return true;
    upperInPlace(key);
    return keys_.find(key) != keys_.end();
}

bool registryHive_t::createKey(const std::wstring& path) {
    const std::wstring norm = normalizePath(path);
    if (norm.empty()) return false;
    std::wstring upper;
    upperInto(norm, upper);
    return ensureKey(keys_, norm, upper).second;
}

bool registryHive_t::deleteKey(const std::wstring& path) {
    std::wstring upper = normalizePath(path);
    if (upper.empty()) return false;
    upperInPlace(upper);
    const auto it = keys_.find(upper);
    if (it == keys_.end()) return false;
    upper += L'\\';  // what every key below starts with
    auto next = keys_.erase(it);
    while (next != keys_.end() && next->first.compare(0, upper.size(), upper) == 0) next = keys_.erase(next);
    return true;
}

const registryHive_t::value_t* registryHive_t::findValue(const std::wstring& path, const std::wstring& name) const {
    std::wstring upper = normalizePath(path);
    upperInPlace(upper);
    const auto key = keys_.find(upper);
    if (key == keys_.end()) return nullptr;
    upperInto(name, upper);
    const auto value = key->second.values.find(upper);
    return value == key->second.values.end() ? nullptr : &value->second;
}

void registryHive_t::setValue(const std::wstring& path, const std::wstring& name, const registryValue_t& value) {
    const std::wstring norm = normalizePath(path);
    if (norm.empty()) return;
    std::wstring upper;
    upperInto(norm, upper);
    key_t& key = *ensureKey(keys_, norm, upper).first;
    upperInto(name, upper);
    storeValue(key, name, upper, registryValue_t(value));
}

bool registryHive_t::deleteValue(const std::wstring& path, const std::wstring& name) {
    std::wstring upper = normalizePath(path);
    upperInPlace(upper);
    const auto key = keys_.find(upper);
    if (key == keys_.end()) return false;
    upperInto(name, upper);
    const auto value = key->second.values.find(upper);
    if (value == key->second.values.end()) return false;
    key->second.values.erase(value);
    return true;
}

std::size_t registryHive_t::parse(std::string_view bytes) {
    keys_.clear();
    unreadable_ = 0;
    const char* p = bytes.data();
    const char* const stop = p + bytes.size();
    if (bytes.size() >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;  // a byte order mark

    // Held across lines, so that a line costs no allocation of its own
    // beyond what it adds to the hive.
    std::wstring norm, upper, name, upperName, text;
    key_t* current = nullptr;  // none before the first key line
    // The path of the last key line, as bytes; `norm` and `upper` hold its
    // normalized and upper-cased forms.
    const char* previousPath = nullptr;
    std::size_t previousSize = 0;
    while (p != stop) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
        const char* b = p;
        const char* e = newline != nullptr ? newline : stop;
        p = newline != nullptr ? newline + 1 : stop;
        while (b != e && lineBlank(*b)) ++b;
        while (e != b && lineBlank(e[-1])) --e;
        if (b == e || *b == ';') continue;

        if (*b == '[') {
            const char* const path = b + 1;
            const std::size_t size = e - b >= 2 && e[-1] == ']' ? static_cast<std::size_t>(e - b - 2) : 0;
            if (previousPath != nullptr && size > previousSize && path[previousSize] == '\\' &&
                std::memcmp(path, previousPath, previousSize) == 0) {
                // Below the key of the line before, as a written file lists
                // a key's parents before it: that part is converted already.
                const std::size_t known = norm.size();
                appendPathComponents(path + previousSize + 1, size - previousSize - 1, norm);
                upper.append(norm, known);
                upperInPlace(upper, known);
            } else {
                norm.clear();
                appendPathComponents(path, size, norm);
                upperInto(norm, upper);
            }
            if (norm.empty()) {
                ++unreadable_;
                current = nullptr;  // its values would land in the wrong key
                previousPath = nullptr;
                continue;
            }
            previousPath = path;
            previousSize = size;
            current = ensureKey(keys_, norm, upper).first;
            continue;
        }

        const char* i = b;
        if (*i == '@') {
            name.clear();
            ++i;
        } else if (!parseQuoted(i, e, name)) {
            ++unreadable_;
            continue;
        }
        skipBlanks(i, e);
        if (current == nullptr || i == e || *i != '=') {
            ++unreadable_;
            continue;
        }
        ++i;
        skipBlanks(i, e);
        registryValue_t value;
        if (!parseValueData(i, e, text, value)) {
            ++unreadable_;
            continue;
        }
        upperInto(name, upperName);
        storeValue(*current, name, upperName, std::move(value));
    }
    return unreadable_;
}

std::string registryHive_t::text() const {
    static constexpr std::string_view kHead = "; QVR registry hive (UTF-8)\n";
    // Room for the longest form of every piece (a character takes up to four
    // bytes, an escaped one two, a byte of data three), so the text is
    // allocated once.
    std::size_t room = kHead.size();
    for (const auto& [upper, key] : keys_) {
        room += upper.size() * 4 + 4;
        for (const auto& [upperName, v] : key.values) room += upperName.size() * 4 + v.value.data.size() * 3 + 24;
    }
    std::string out;
    out.reserve(room);
    out += kHead;
    // A key below the one before it (a parent comes right before its first
    // child) repeats that one's text for the common part.
    const std::wstring* previous = nullptr;
    std::size_t previousAt = 0;
    std::size_t previousBytes = 0;
    for (const auto& [upper, key] : keys_) {
        (void)upper;
        out += "\n[";
        const std::size_t at = out.size();
        const std::wstring& path = key.path;
        if (previous != nullptr && path.size() > previous->size() && path[previous->size()] == L'\\' &&
            path.compare(0, previous->size(), *previous) == 0) {
            out.append(out, previousAt, previousBytes);
            appendWideAsUtf8(out, std::wstring_view(path).substr(previous->size()));
        } else {
            appendWideAsUtf8(out, path);
        }
        previous = &path;
        previousAt = at;
        previousBytes = out.size() - at;
        out += "]\n";
        for (const auto& [upperName, v] : key.values) {
            (void)upperName;
            if (v.name.empty()) out += '@';
            else appendQuoted(out, v.name);
            out += '=';
            if (appendPlainText(out, v.value)) {
            } else if (v.value.type == REG_DWORD && v.value.data.size() == 4) {
                const auto& d = v.value.data;
                const std::uint32_t n = static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8) |
                                        (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
                out += "dword:";
                appendHexNumber(out, n, 8);
            } else if (v.value.type == REG_BINARY) {
                out += "hex:";
                appendHexBytes(out, v.value.data);
            } else {
                int width = 1;
                while (width < 8 && (v.value.type >> (4 * width)) != 0) ++width;
                out += "hex(";
                appendHexNumber(out, v.value.type, width);
                out += "):";
                appendHexBytes(out, v.value.data);
            }
            out += '\n';
        }
    }
    return out;
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
