// The one-shot text message: it answers the greeting with "TEXTMESSAGE" once
// and counts the server's next message as delivery.
#include "link/sendMessageSocket.h"
#include "tests/link/clientTestSupport.h"
#include "tests/link/socketTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

using namespace clientTest;

namespace {

// "TEXTMESSAGE", then a textMessage_t: user, host, text.
const bytes_t textMessageWord =
    hexBytes("FF FE FF 0B 54 00 45 00 58 00 54 00 4D 00 45 00 53 00 53 00 41 00 47 00 45 00");
const bytes_t textMessageClass = hexBytes("FF FF 01 00 0D 00 74 65 78 74 4D 65 73 73 61 67 65 5F 74");

class sendMessageSocketThreadsTest : public prefixTest {};

TEST_F(sendMessageSocketThreadsTest, TheMessageGoesOnceAndTheAnswerDeliversIt)
{
    scriptedPeer_t peer;
    peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(), scriptedPeer_t::send(wide("OK"))});

    EXPECT_TRUE(sendTextMessage(L"localhost", L"Model finished", peer.port()));
    EXPECT_TRUE(peer.waitScriptsDone(10000));
    EXPECT_TRUE(peer.failures().empty());
    EXPECT_EQ(peer.acceptedCount(), 1);
    const std::vector<bytes_t> received = peer.received();
    ASSERT_EQ(received.size(), 1u);
    // The user of this session ("tech") and this computer ("QVRTEST").
    EXPECT_EQ(received[0], textMessageWord + textMessageClass + wide("tech") + wide("QVRTEST") + wide("Model finished"));
}

TEST_F(sendMessageSocketThreadsTest, NotDeliveredWhenTheServerIsMissingOrSpeaksOtherwise)
{
    int refusingPort = 0;
    {
        scriptedPeer_t gone;
        refusingPort = gone.port();
    }
    scriptedPeer_t peer;
    // Not a greeting: nothing is sent.
    peer.addScript({scriptedPeer_t::send(wide("ERROR"))});
    // Greeted, but the connection ends before any answer.
    peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(), scriptedPeer_t::close()});

    struct case_t {
        const char* name;
        int port;
        bool sent;
    };
    const std::vector<case_t> cases = {
        {"nothing listens", refusingPort, false},
        {"no greeting", peer.port(), false},
        {"closed after the message", peer.port(), true},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        const sharedLock_t lock;
        sendMessageSocket_t socket(L"localhost", L"hello", lock, c.port);
        EXPECT_FALSE(socket.wait(sendMessageSocket_t::replyWaitMs + 5000));
        EXPECT_EQ(socket.isSent(), c.sent);
        EXPECT_FALSE(socket.isDelivered());
    }
    EXPECT_TRUE(peer.waitScriptsDone(10000));
    EXPECT_EQ(peer.received().size(), 1u) << "the message went once, to the server that greeted";
}

}  // namespace
