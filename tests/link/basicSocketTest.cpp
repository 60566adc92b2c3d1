// The outgoing connection: exchange, strict alternation, probes, closing,
// broken links, reassembly of split messages and connect failures, against
// the scripted peer.
#include "link/qvrSocket.h"
#include "link/socketError.h"
#include "scriptedPeer.h"
#include "socketTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

using namespace socketTest;
using peer_t = scriptedPeer_t;

namespace {

// Bytes that sit in the socket's receive queue, not yet read by the loop.
int unreadBytes(int fd)
{
    int pending = 0;
    if (::ioctl(fd, FIONREAD, &pending) != 0)
        return -1;
    return pending;
}

// A port on which nothing listens.
int deadPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace

TEST(BasicSocketThreads, ConnectsAndExchangesOneMessageWithEveryLocalHostText)
{
    struct row_t {
        std::wstring host;
    };
    const row_t rows[] = {{L""}, {L"localhost"}, {L"127.0.0.1"}};
    for (const row_t& row : rows) {
        SCOPED_TRACE(std::string(row.host.begin(), row.host.end()));
        peer_t peer;
        peer.addScript({peer_t::send("GREETING"), peer_t::receive(), peer_t::close()});
        sharedLock_t lock;
        recordingSocket_t socket(lock);
        ASSERT_TRUE(socket.connect(row.host, peer.port()));

        ASSERT_TRUE(socket.waitForData(10000));
        const socketBytes_t message = socket.receivedMessage();
        EXPECT_EQ(textOf(message), "GREETING");
        // Two zero bytes stand behind every message in the buffer.
        EXPECT_EQ(message.data()[message.size()], 0);
        EXPECT_EQ(message.data()[message.size() + 1], 0);
        EXPECT_EQ(socket.connectedCalls.load(), 1);
        EXPECT_TRUE(socket.isConnected());
        EXPECT_TRUE(socket.localHostFlag());
        EXPECT_EQ(socket.getHost(), L"localhost");
        EXPECT_EQ(socket.getPort(), peer.port());

        EXPECT_TRUE(socket.send(bytesOf("ANSWER")));
        ASSERT_TRUE(peer.waitReceived(1, 10000));
        EXPECT_EQ(peer.received()[0], bytesOf("ANSWER"));

        // The peer closes: the loop ends and says so.
        ASSERT_TRUE(socket.waitClosed(10000));
        EXPECT_TRUE(waitUntil([&] { return socket.disconnectedCalls.load() == 1; }));
        ASSERT_EQ(socket.messageCount(), 1u);
        EXPECT_TRUE(peer.failures().empty());
    }
}

TEST(BasicSocketThreads, SecondConnectOnARunningSocketChangesNothing)
{
    peer_t peer;
    peer.addScript({peer_t::send("HI")});
    sharedLock_t lock;
    recordingSocket_t socket(lock);
    ASSERT_TRUE(socket.connect(L"127.0.0.1", peer.port()));
    ASSERT_TRUE(socket.waitForData(10000));
    EXPECT_TRUE(socket.connect(L"elsewhere.invalid", 1));
    EXPECT_EQ(socket.getPort(), peer.port());
    EXPECT_EQ(socket.getHost(), L"localhost");
    EXPECT_EQ(peer.acceptedCount(), 1);
}

TEST(BasicSocketThreads, SecondMessageOfThePeerIsReadOnlyAfterThisSideSent)
{
    peer_t peer;
    sharedLock_t lock;
    recordingSocket_t socket(lock);
    socket.setProbeInterval(20);
    peer.addScript({peer_t::send("FIRST"), peer_t::waitFor([&] { return socket.messageCount() == 1; }),
                    peer_t::send("SECOND"), peer_t::receive(), peer_t::receive()});
    ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 1; }));

    // SECOND has reached this side's socket, and the loop, which probes while
    // it waits for this side, has gone round several times without reading it.
    ASSERT_TRUE(waitUntil([&] { return unreadBytes(socket.descriptor()) == 6; }));
    const int probes = socket.probeCount();
    ASSERT_TRUE(waitUntil([&] { return socket.probeCount() >= probes + 3; }));
    EXPECT_EQ(socket.messageCount(), 1u);
    EXPECT_EQ(unreadBytes(socket.descriptor()), 6);

    socket.send(bytesOf("REQUEST"));
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 2; }));
    EXPECT_EQ(socket.messages()[1], bytesOf("SECOND"));
    ASSERT_TRUE(peer.waitReceived(1, 10000));
    socket.send(bytesOf("NEXT"));
    ASSERT_TRUE(peer.waitReceived(2, 10000));
    EXPECT_EQ(peer.received()[0], bytesOf("REQUEST"));
    EXPECT_EQ(peer.received()[1], bytesOf("NEXT"));
}

TEST(BasicSocketThreads, ProbesWhileWaitingForThisSideAndKeepsTheLinkUsable)
{
    {
        sharedLock_t lock;
        qvrSocket_t plain(lock);
        EXPECT_EQ(plain.probeInterval(), 5000u);
        EXPECT_EQ(plain.bufferSize(), 32768);
    }
    peer_t peer;
    sharedLock_t lock;
    recordingSocket_t socket(lock);
    socket.setProbeInterval(10);
    peer.addScript({peer_t::send("ONE"), peer_t::receive(), peer_t::send("TWO"), peer_t::receive()});
    ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return socket.probeCount() >= 5; }));
    // Zero-length probes put nothing on the wire: the peer's next message is
    // the request, whole.
    socket.send(bytesOf("REQ"));
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 2; }));
    EXPECT_EQ(socket.messages()[1], bytesOf("TWO"));
    socket.send(bytesOf("REQ2"));
    ASSERT_TRUE(peer.waitReceived(2, 10000));
    EXPECT_EQ(peer.received()[0], bytesOf("REQ"));
    EXPECT_EQ(peer.received()[1], bytesOf("REQ2"));
}

TEST(BasicSocketThreads, ShutdownAndCloseWakeTheLoopWhereverItWaits)
{
    enum how_e { shutdown_e, close_e };
    struct row_t {
        const char* name;
        bool peerSpeaksFirst;  // false: the loop sits in its receive; true: in its wait for this side
        how_e how;
    };
    const row_t rows[] = {
        {"shutdown, blocked in receive", false, shutdown_e},
        {"shutdown, waiting for this side", true, shutdown_e},
        {"closeConnection, blocked in receive", false, close_e},
        {"closeConnection, waiting for this side", true, close_e},
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        peer_t peer;
        if (row.peerSpeaksFirst)
            peer.addScript({peer_t::send("HELLO")});
        const int threadsBefore = threadCount();
        {
            sharedLock_t lock;
            recordingSocket_t socket(lock);  // the default probe interval of 5 s
            ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
            ASSERT_TRUE(peer.waitAccepted(1, 10000));
            ASSERT_TRUE(waitUntil([&] { return socket.connectedCalls.load() == 1; }));
            if (row.peerSpeaksFirst) {
                ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 1; }));
            }
            const auto start = std::chrono::steady_clock::now();
            if (row.how == shutdown_e) {
                socket.shutdown();
                EXPECT_TRUE(socket.isShutDown());
            } else {
                socket.closeConnection();
                ASSERT_TRUE(socket.waitClosed(10000));
                EXPECT_FALSE(socket.isConnected());
            }
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_LT(took, std::chrono::seconds(1));
            EXPECT_TRUE(waitUntil([&] { return socket.disconnectedCalls.load() == 1; }));
        }
        // An ended thread may linger in /proc for a moment after its join.
        EXPECT_TRUE(waitUntil([&] { return threadCount() <= threadsBefore; }));
    }
}

TEST(BasicSocketThreads, SendOnABrokenLinkFailsWithoutKillingTheProcess)
{
    // The default action of SIGPIPE ends the process: a send without
    // MSG_NOSIGNAL would end this test run.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
    struct row_t {
        const char* name;
        peer_t::step_t ending;
    };
    const row_t rows[] = {{"peer resets", peer_t::reset()}, {"peer closes", peer_t::close()}};
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        peer_t peer;
        peer.addScript({row.ending});
        sharedLock_t lock;
        recordingSocket_t socket(lock);
        ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
        ASSERT_TRUE(socket.waitClosed(10000));
        const bytes_t block(65536, 0x55);
        bool anyFailed = false;
        for (int i = 0; i < 4; ++i)
            anyFailed = !socket.send(block) || anyFailed;
        EXPECT_TRUE(anyFailed);
    }
    std::signal(SIGPIPE, previous);
}

TEST(BasicSocketThreads, MessageSplitByThePeerIsHandedOverWhole)
{
    struct row_t {
        const char* name;
        std::size_t needed;   // bytes the completeness hook waits for
        int bufferBytes;      // 0: the normal buffer
        std::vector<std::string> pieces;
        bool closeAfter;      // the peer closes after its pieces
        std::vector<std::string> expected;
    };
    const row_t rows[] = {
        {"three pieces", 12, 0, {"ABCD", "EFGH", "IJKL"}, false, {"ABCDEFGHIJKL"}},
        {"no hook: every receive is whole", 0, 0, {"ABCDEFGHIJKL"}, false, {"ABCDEFGHIJKL"}},
        {"the peer ends the link inside the message", 12, 0, {"ABCDE"}, true, {"ABCDE"}},
        {"a full buffer ends the message", 100, 8, {"ABCD", "EFGHIJKL"}, false, {"ABCDEFGH"}},
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.name);
        peer_t peer;
        std::vector<bytes_t> pieces;
        for (const std::string& piece : row.pieces)
            pieces.push_back(bytesOf(piece));
        peer_t::script_t script{peer_t::sendPieces(pieces, 30)};
        if (row.closeAfter)
            script.push_back(peer_t::close());
        peer.addScript(script);
        sharedLock_t lock;
        recordingSocket_t socket(lock, row.needed, row.bufferBytes);
        ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
        ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == row.expected.size(); }));
        const auto messages = socket.messages();
        for (std::size_t i = 0; i < row.expected.size(); ++i)
            EXPECT_EQ(std::string(messages[i].begin(), messages[i].end()), row.expected[i]);
        EXPECT_EQ(textOf(socket.receivedMessage()), row.expected.back());
        if (row.closeAfter) {
            EXPECT_TRUE(socket.waitClosed(10000));
        }
    }
}

TEST(BasicSocketThreads, IncompleteMessageIsHandedOverAfterTheQuietGap)
{
    peer_t peer;
    sharedLock_t lock;
    recordingSocket_t socket(lock, 10);
    peer.addScript({peer_t::send("12345"), peer_t::waitFor([&] { return socket.messageCount() == 1; }),
                    peer_t::receive(), peer_t::send("67890")});
    ASSERT_TRUE(socket.connect(L"localhost", peer.port()));
    // Nothing more comes: after the gap the five bytes go up as they are.
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 1; }));
    EXPECT_EQ(socket.messages()[0], bytesOf("12345"));
    // The rest, sent only after this side answered, is the next message.
    socket.send(bytesOf("R"));
    ASSERT_TRUE(waitUntil([&] { return socket.messageCount() == 2; }));
    EXPECT_EQ(socket.messages()[1], bytesOf("67890"));
}

TEST(BasicSocketThreads, ConnectFailureGoesThroughTheHookAndAnUnknownHostEndsQuietly)
{
    {
        sharedLock_t lock;
        recordingSocket_t socket(lock);
        ASSERT_TRUE(socket.connect(L"127.0.0.1", deadPort()));
        ASSERT_TRUE(socket.waitClosed(10000));
        EXPECT_TRUE(waitUntil([&] { return socket.connectFailedCalls.load() == 1; }));
        EXPECT_EQ(socket.lastSocketError(), WSAECONNREFUSED);
        EXPECT_EQ(socket.connectedCalls.load(), 0);
        EXPECT_FALSE(socket.isConnected());
    }
    {
        sharedLock_t lock;
        recordingSocket_t socket(lock);
        ASSERT_TRUE(socket.connect(L"no-such-host.invalid", 8722));
        ASSERT_TRUE(waitUntil([&] { return socket.lastSocketError() != 0; }));
        EXPECT_EQ(socket.lastSocketError(), WSAHOST_NOT_FOUND);
        socket.shutdown();
        EXPECT_EQ(socket.connectFailedCalls.load(), 0);
        EXPECT_EQ(socket.connectedCalls.load(), 0);
        EXPECT_FALSE(socket.isClosed());
        EXPECT_FALSE(socket.localHostFlag());
    }
}
