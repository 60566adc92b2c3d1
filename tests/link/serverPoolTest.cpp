// The machine search: "localhost" and the hosts of "searchedServersList.txt"
// are asked for their machines; live, refusing and silent servers.
#include "link/serverPool.h"
#include "machine/globalNames.h"
#include "tests/link/clientTestSupport.h"
#include "tests/link/socketTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace clientTest;

namespace {

// A greeting whose machines the server calls by its own name.
bytes_t greetingWith(std::initializer_list<std::pair<uint32_t, std::string>> machines)
{
    bytes_t out = wide("BrevanquillorMachinesServer") + f64(12.0) + f64(12.0) +
                  u32(static_cast<uint32_t>(machines.size()));
    bool first = true;
    for (const auto& [id, name] : machines) {
        // The class is named in full once; the next objects refer to it (index 1).
        out = out + (first ? newClass("machineHostIDname_t") : hexBytes("01 80")) + u32(id) + u32(0) + u32(0) +
              wide("SERVERSIDE") + wide(name);
        first = false;
    }
    return out;
}

bool writeList(const std::string& lines)
{
    return writeRawFile(getSearchedServersListPath(), lines);
}

class serverPoolThreadsTest : public prefixTest {};

TEST_F(serverPoolThreadsTest, SearchAsksLocalhostAndTheListedHostsOnce)
{
    scriptedPeer_t peer;
    const bytes_t greeting = greetingWith({{7, "Alpha"}, {9, "Beta"}});
    peer.addScript({scriptedPeer_t::send(greeting)});
    peer.addScript({scriptedPeer_t::send(greeting)});
    // This computer's name (the prefix's "QVRTEST") is "localhost" already;
    // empty lines name nobody; 127.0.0.2 refuses (the peer listens on
    // 127.0.0.1 only); 127.0.0.1 is the peer again.
    ASSERT_TRUE(writeList("127.0.0.2\r\nQVRTEST\r\n\r\n127.0.0.1\r\n"));

    serverPool_t pool;
    pool.setSearchPort(peer.port());
    ASSERT_TRUE(pool.startMachineSearch());
    ASSERT_TRUE(pool.waitSearchFinished(20000)) << "the search must end once every host answered or refused";

    EXPECT_TRUE(pool.isSearchFinished());
    EXPECT_EQ(pool.searchedHosts(), (std::vector<std::wstring>{L"localhost", L"127.0.0.2", L"127.0.0.1"}));
    EXPECT_EQ(peer.acceptedCount(), 2);
    EXPECT_EQ(pool.searchSocketCount(), 0u);
    EXPECT_TRUE(pool.getChosenHost().empty());
    EXPECT_TRUE(pool.fewSocketsEvent().isSet());

    // Two answers of two machines each; the host is the one the search asked
    // (127.0.0.1 is this computer, so "localhost" too), not the server's name.
    const std::vector<machineHostIDname_t> machines = pool.getMachines();
    ASSERT_EQ(machines.size(), 4u);
    for (const machineHostIDname_t& m : machines)
        EXPECT_EQ(m.host, L"localhost");
    EXPECT_EQ(machines[0], machineHostIDname_t(L"localhost", 7, L"Alpha", 0, 0));
    EXPECT_EQ(machines[1], machineHostIDname_t(L"localhost", 9, L"Beta", 0, 0));

    // A finished search keeps its (empty) choice.
    EXPECT_TRUE(pool.pickRandomServer().empty());
}

TEST_F(serverPoolThreadsTest, ALongListIsAskedAFewHostsAtATime)
{
    // 30 listed hosts (all this peer) and "localhost": never more than 20
    // asked at once, every one asked, every answer kept.
    constexpr int listed = 30;
    scriptedPeer_t peer;
    for (int i = 0; i <= listed; ++i)
        peer.addScript({scriptedPeer_t::send(greetingWith({{static_cast<uint32_t>(i), "M"}}))});
    std::string lines;
    for (int i = 0; i < listed; ++i)
        lines += "127.0.0.1\r\n";
    ASSERT_TRUE(writeList(lines));

    serverPool_t pool;
    pool.setSearchPort(peer.port());
    ASSERT_TRUE(pool.startMachineSearch());
    std::size_t most = 0;
    ASSERT_TRUE(socketTest::waitUntil(
        [&] {
            most = std::max(most, pool.searchSocketCount());
            return pool.isSearchFinished();
        },
        30000));
    EXPECT_LE(most, serverPool_t::maxLiveSockets);
    EXPECT_EQ(pool.searchedHosts().size(), static_cast<std::size_t>(listed + 1));
    EXPECT_EQ(pool.getMachines().size(), static_cast<std::size_t>(listed + 1));
    EXPECT_EQ(peer.acceptedCount(), listed + 1);
    EXPECT_TRUE(pool.fewSocketsEvent().isSet());
}

TEST_F(serverPoolThreadsTest, SearchWithoutListOrServerFindsNothing)
{
    // Nothing listens on the port any more, and there is no list file.
    int port = 0;
    {
        scriptedPeer_t gone;
        port = gone.port();
    }
    serverPool_t pool;
    pool.setSearchPort(port);
    ASSERT_TRUE(pool.startMachineSearch());
    ASSERT_TRUE(pool.waitSearchFinished(20000));
    EXPECT_EQ(pool.searchedHosts(), (std::vector<std::wstring>{L"localhost"}));
    EXPECT_TRUE(pool.getMachines().empty());
}

TEST_F(serverPoolThreadsTest, ASilentServerIsPickedWhileAskedAndTheSearchStopsAtOnce)
{
    // The peer accepts but never greets: the search waits for it.
    scriptedPeer_t peer;
    serverPool_t pool;
    pool.setSearchPort(peer.port());
    ASSERT_TRUE(pool.startMachineSearch());
    ASSERT_TRUE(peer.waitAccepted(1, 10000));
    ASSERT_TRUE(socketTest::waitUntil([&] { return pool.searchSocketCount() == 1; }));
    EXPECT_FALSE(pool.isSearchFinished());
    EXPECT_EQ(pool.pickRandomServer(), L"localhost");
    EXPECT_EQ(pool.getChosenHost(), L"localhost");

    // Clearing stops the search without waiting out the 5000 ms.
    const auto started = std::chrono::steady_clock::now();
    pool.clearServerPool();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::milliseconds(enumMachinesSocket_t::doneWaitMs));
    EXPECT_FALSE(pool.isSearchFinished());
    EXPECT_EQ(pool.searchSocketCount(), 0u);
    EXPECT_TRUE(pool.getChosenHost().empty());
    EXPECT_TRUE(pool.pickRandomServer().empty()) << "no search socket listed";
}

TEST_F(serverPoolThreadsTest, AProbeIsDoneWhenAnsweredOrRefused)
{
    scriptedPeer_t peer;
    peer.addScript({scriptedPeer_t::send(greetingWith({{3, "Gamma"}}))});
    const sharedLock_t lock;
    enumMachinesSocket_t answered(L"127.0.0.1", lock, peer.port());
    ASSERT_TRUE(answered.waitDone());
    EXPECT_EQ(answered.getMachines(), (std::vector<machineHostIDname_t>{{L"localhost", 3, L"Gamma", 0, 0}}));

    // A refused connection is done too, with nothing found.
    int port = 0;
    {
        scriptedPeer_t gone;
        port = gone.port();
    }
    enumMachinesSocket_t refused(L"127.0.0.1", lock, port);
    ASSERT_TRUE(refused.waitDone());
    EXPECT_TRUE(refused.getMachines().empty());
}

TEST_F(serverPoolThreadsTest, ANonGreetingAnswerEndsTheProbeWithNothing)
{
    scriptedPeer_t peer;
    peer.addScript({scriptedPeer_t::send(wide("ERROR"))});
    const sharedLock_t lock;
    enumMachinesSocket_t probe(L"localhost", lock, peer.port());
    ASSERT_TRUE(probe.waitDone());
    EXPECT_TRUE(probe.getMachines().empty());
    EXPECT_TRUE(socketTest::waitUntil([&] { return probe.isClosed(); })) << "one message per search socket";
}

}  // namespace
