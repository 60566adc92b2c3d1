#include "link/hostResolution.h"

#include "link/socketError.h"
#include "machine/systemInfo.h"
#include "machine/textUtils.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

std::wstring resolveHostAddress(const std::string& host)
{
    if (host.empty())
        return std::wstring();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        setLastSocketError(socketErrorFromResolver(result == 0 ? EAI_NONAME : result));
        return std::wstring();
    }
    std::wstring text;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        char dotted[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted) != nullptr) {
            // Dotted text is plain ASCII; no code page involved.
            text.assign(dotted, dotted + std::char_traits<char>::length(dotted));
            break;
        }
    }
    ::freeaddrinfo(found);
    if (text.empty())
        setLastSocketError(WSANO_DATA);
    return text;
}

std::wstring resolveHostAddress(const std::wstring& host)
{
    return resolveHostAddress(wstrToStr(host));
}

bool isLocalAddress(const std::wstring& address)
{
    if (address.empty())
        return false;
    if (address == resolveHostAddress(std::wstring(L"localhost")))
        return true;
    return address == resolveHostAddress(getComputerName());
}

bool isLocalHost(const std::wstring& host)
{
    return isLocalAddress(resolveHostAddress(host));
}

std::uint32_t addressFromText(const std::wstring& dotted)
{
    std::string narrow;
    for (wchar_t c : dotted) {
        if (c > 0x7F)
            return INADDR_NONE;
        narrow.push_back(static_cast<char>(c));
    }
    in_addr address{};
    if (::inet_pton(AF_INET, narrow.c_str(), &address) != 1)
        return INADDR_NONE;
    return address.s_addr;
}
