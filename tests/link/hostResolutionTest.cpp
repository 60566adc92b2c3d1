// Host names to IPv4 address texts, and the local-host test.
#include "link/hostResolution.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

TEST(HostResolution, ResolvesToIpv4TextAndTellsLocalHosts)
{
    struct row_t {
        std::wstring host;
        std::wstring address;  // empty: does not resolve
        bool local;
    };
    const row_t rows[] = {
        {L"localhost", L"127.0.0.1", true},  // never ::1
        {L"LOCALHOST", L"127.0.0.1", true},
        {L"127.0.0.1", L"127.0.0.1", true},
        {L"10.11.12.13", L"10.11.12.13", false},
        {L"no-such-host.invalid", L"", false},
        {L"", L"", false},
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(std::string(row.host.begin(), row.host.end()));
        EXPECT_EQ(resolveHostAddress(row.host), row.address);
        EXPECT_EQ(isLocalHost(row.host), row.local);
    }
}

TEST(HostResolution, AddressTextToNetworkOrder)
{
    EXPECT_EQ(addressFromText(L"127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(addressFromText(L"10.0.0.258"), INADDR_NONE);
    EXPECT_EQ(addressFromText(L"h\u00e9"), INADDR_NONE);
}
