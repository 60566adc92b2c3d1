// A string literal's value in a script is a 32-bit handle to its text (the
// value a built-in receives as its argument). Handles are handed out by the
// literal's node when it is parsed and withdrawn when the node is destroyed;
// they are never reused, so a stale handle or an arbitrary number resolves
// to nothing.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

class batchStringTable_t {
public:
    static std::int32_t add(const std::string& text);
    static void remove(std::int32_t handle);
    static std::optional<std::string> text(std::int32_t handle);
    static std::size_t size();
};
