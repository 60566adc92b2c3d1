#include "standins/wendaro/simTraceNote.h"

#include "platform/codePage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

void simTraceNote_t::spill(std::size_t more)
{
    spill_.reserve(2 * (size_ + more));
    spill_.assign(inline_.data(), size_);
    spilled_ = true;
}

simTraceNote_t& simTraceNote_t::operator<<(std::string_view text)
{
    if (!spilled_ && size_ + text.size() > inlineCapacity)
        spill(text.size());
    if (spilled_) {
        spill_.append(text);
    } else if (!text.empty()) {
        std::memcpy(inline_.data() + size_, text.data(), text.size());
        size_ += text.size();
    }
    return *this;
}

simTraceNote_t& simTraceNote_t::appendNarrowed(std::wstring_view text)
{
    // In pieces that fit a small buffer, so that the narrowing needs no
    // string of its own.
    char piece[32];
    while (!text.empty()) {
        const std::size_t n = std::min(text.size(), sizeof piece);
        for (std::size_t i = 0; i < n; ++i) {
            const wchar_t ch = text[i];
            piece[i] = static_cast<std::uint32_t>(ch) < 0x80 ? static_cast<char>(ch) : wideCharToAnsi(ch);
        }
        *this << std::string_view(piece, n);
        text.remove_prefix(n);
    }
    return *this;
}
