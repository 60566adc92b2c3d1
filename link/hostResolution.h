// Host names to IPv4 addresses, as the link compares and connects them.
// IPv4 only: "localhost" is always 127.0.0.1, never ::1, because the
// machines server listens on the IPv4 loop-back address.
#pragma once
#include <cstdint>
#include <string>

// The first IPv4 address of the host as dotted text ("127.0.0.1"); empty
// when the host does not resolve.
std::wstring resolveHostAddress(const std::wstring& host);
// The same from a narrow host name (gethostname's result).
std::wstring resolveHostAddress(const std::string& host);

// True when the host's address equals that of "localhost" or that of this
// computer's name; false when the host does not resolve.
bool isLocalHost(const std::wstring& host);
// The same for an address already resolved (dotted text).
bool isLocalAddress(const std::wstring& address);

// The IPv4 address of dotted text in network byte order (INADDR_NONE when the
// text is not an address).
std::uint32_t addressFromText(const std::wstring& dotted);
