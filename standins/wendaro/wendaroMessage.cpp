#include "standins/wendaro/wendaroMessage.h"

socketRequestStream_t& wendaroMessage_t::word(std::wstring_view text)
{
    if (!stream_) {
        // Room for a reply with its notices, grown once at most.
        words_.reserve(4);
        words_.emplace_back(text);
        stream_.emplace(words_.back());
    } else {
        words_.emplace_back(text);
        stream_->writeString(words_.back());
    }
    return *stream_;
}

std::vector<std::uint8_t> wendaroMessage_t::bytes()
{
    if (!stream_)
        return {};
    const std::uint8_t* data = stream_->bytes();
    const std::int32_t length = stream_->length();
    if (length <= 0)
        return {};
    return std::vector<std::uint8_t>(data, data + length);
}

std::vector<std::uint8_t> wendaroMessage_t::takeBytes()
{
    if (!stream_)
        return {};
    return stream_->takeBytes();
}
