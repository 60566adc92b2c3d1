// wendaroMessage_t: one server message as the client reads it, a sequence of
// words, each followed by its fields, built on the link's archive streams:
//
//   wendaroMessage_t m;
//   m.word(L"HASNEWLOGRESP");
//   m.word(L"RESP").writeRaw(packet.data(), packet.size());
//   std::vector<std::uint8_t> bytes = m.bytes();
//
// Every message is its own archive, so a record class is named in full at
// its first use in the message.
#pragma once
#include "link/socketRequestStream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class wendaroMessage_t {
public:
    // Starts the next word; the first one opens the message. The fields of
    // that word go into the returned stream. The word is copied once, into
    // the message's list, and encoded from there.
    socketRequestStream_t& word(std::wstring_view text);
    // The finished bytes (empty when no word was written); the message is
    // closed by the first call.
    std::vector<std::uint8_t> bytes();
    // The same bytes handed over without a copy; the message keeps none.
    std::vector<std::uint8_t> takeBytes();
    const std::vector<std::wstring>& words() const { return words_; }
    // The words handed over; the message keeps none.
    std::vector<std::wstring> takeWords() { return std::move(words_); }
    bool empty() const { return words_.empty(); }

private:
    std::optional<socketRequestStream_t> stream_;
    std::vector<std::wstring> words_;
};
