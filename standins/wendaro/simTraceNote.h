// simTraceNote_t: the text of one trace note, put together in place.
//
// A simulated printer notes something for nearly every packet and clock
// event ("command 128: refused in state 1", "state 7 -> 5"), so a note is
// assembled in a buffer inside the object and reaches the heap only when it
// outgrows it (a long model name or path). Numbers are written as plain
// decimal, a minus sign for negative values only; wide text is narrowed
// character by character as the system code page does.
#pragma once
#include <array>
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

class simTraceNote_t {
public:
    static constexpr std::size_t inlineCapacity = 112;

    simTraceNote_t() = default;
    // Built and used in one place: a copy would only cost.
    simTraceNote_t(const simTraceNote_t&) = delete;
    simTraceNote_t& operator=(const simTraceNote_t&) = delete;

    simTraceNote_t& operator<<(std::string_view text);
    simTraceNote_t& operator<<(const char* text) { return *this << std::string_view(text); }
    simTraceNote_t& operator<<(const std::string& text) { return *this << std::string_view(text); }
    template <class T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
                 !std::is_same_v<T, wchar_t>)
    simTraceNote_t& operator<<(T value)
    {
        char digits[24];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
        return *this << std::string_view(digits, static_cast<std::size_t>(end.ptr - digits));
    }
    // Wide text as the narrow text of the system code page.
    simTraceNote_t& appendNarrowed(std::wstring_view text);

    std::string_view view() const
    {
        return spilled_ ? std::string_view(spill_) : std::string_view(inline_.data(), size_);
    }
    std::size_t size() const { return spilled_ ? spill_.size() : size_; }
    bool spilled() const { return spilled_; }

private:
    void spill(std::size_t more);

    std::array<char, inlineCapacity> inline_;
    std::size_t size_ = 0;
    bool spilled_ = false;
    std::string spill_;  // the whole text once it outgrew inline_
};
