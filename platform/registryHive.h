// One registry hive in memory, and its ".reg"-style text form:
//
//   [SOFTWARE\Brevanquillor\qvrComm]
//   "BaseDirectory"="C:/QVR_Printers"
//   @="the key's default value"
//   "Count"=dword:00000001
//   "Raw"=hex(3):01,02,ff
//
// UTF-8, one entry per line. Texts escape '\' and '"' with a backslash; a
// REG_SZ value that is not a plain text (no terminating zero, a zero inside,
// control characters) is kept as hex(1). Parsing is tolerant: a line it
// cannot read is skipped and counted. Key and value names compare without
// regard to case and keep the case they were first written with.
#pragma once
#include "platform/registry.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class registryHive_t {
public:
    struct value_t {
        std::wstring name;  // as written; empty is the key's default value
        registryValue_t value;
    };
    // Both maps look up by a view of the upper-cased text, so that a lookup
    // needs no string of its own.
    using valueMap_t = std::map<std::wstring, value_t, std::less<>>;  // by upper-cased name
    struct key_t {
        std::wstring path;  // as first written, components joined by '\'
        valueMap_t values;
    };
    using keyMap_t = std::map<std::wstring, key_t, std::less<>>;  // by upper-cased path

    // Replaces the content with the parsed text; returns the number of lines
    // that could not be read.
    std::size_t parse(std::string_view text);
    std::size_t unreadableLines() const { return unreadable_; }
    // The text form (always readable by parse, with the same content).
    std::string text() const;

    // Key paths: components separated by '\'; empty components are ignored;
    // an empty path is the root, which always exists.
    bool hasKey(const std::wstring& path) const;
    // Creates the key and its missing parents; false when it existed.
    bool createKey(const std::wstring& path);
    // Deletes the key with everything below it; false when it is missing.
    bool deleteKey(const std::wstring& path);
    const value_t* findValue(const std::wstring& path, const std::wstring& name) const;
    // Creates the key when missing.
    void setValue(const std::wstring& path, const std::wstring& name, const registryValue_t& value);
    bool deleteValue(const std::wstring& path, const std::wstring& name);

    // Every key, by upper-cased path.
    const keyMap_t& keys() const { return keys_; }
    bool sameContent(const registryHive_t& other) const;

    // The normalized form of a key path ("a\\b\" -> "a\b").
    static std::wstring normalizePath(const std::wstring& path);

private:
    keyMap_t keys_;
    std::size_t unreadable_ = 0;
};
