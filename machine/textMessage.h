// textMessage_t: a text message from one user to another ("TEXTMESSAGE").
// A plain value type; its archive layout lives in link/exchangeArchive.h.
#pragma once
#include <string>

class textMessage_t {
public:
    std::wstring user;
    std::wstring host;
    std::wstring text;

    bool operator==(const textMessage_t& other) const = default;
};
