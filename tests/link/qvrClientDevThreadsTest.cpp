// The client device against a scripted machines server on loopback: the
// greeting, access, polling, commands and their replies, send-and-wait, the
// server's "wait" answer, lost links, refused greetings, a split parameter
// block, layer records, and deleting the device in every state.
#include "link/qvrClientDev.h"
#include "tests/link/clientTestSupport.h"
#include "tests/link/socketTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using namespace clientTest;
using namespace std::chrono_literals;

namespace {

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr auto deleteLimit = 3000ms;  // sanitizers slow every thread down
#else
constexpr auto deleteLimit = 1000ms;
#endif

class qvrClientDevThreadsTest : public prefixTest {
protected:
    // Declared in this order so that the device goes first, then the
    // server loops, then the peer.
    scriptedPeer_t peer;
    fakeMachine_t machine;
    std::vector<std::unique_ptr<fakeServer_t>> servers;
    queueWindow_t window;
    sharedLock_t lock;
    std::unique_ptr<qvrClientDev_t> device;

    ~qvrClientDevThreadsTest() override { finish(); }

    // Deletes the device and ends the server loops; a test whose responders
    // use its own locals calls it before they go.
    void finish()
    {
        device.reset();
        for (auto& s : servers)
            s->stop();
        peer.waitScriptsDone(5000);
    }

    fakeServer_t& newServer()
    {
        servers.push_back(std::make_unique<fakeServer_t>([this](const bytes_t& m) { return machine.respond(m); }));
        return *servers.back();
    }

    // A connection that greets, takes the answer, grants access and then
    // serves as the fake machine.
    fakeServer_t& addAcceptingConnection(uint32_t machineId = 7)
    {
        fakeServer_t& server = newServer();
        peer.addScript({scriptedPeer_t::send(greeting(12.0, 12.0, machineId)), scriptedPeer_t::receive(),
                        scriptedPeer_t::send(connectAnswer(true, machineId, "Alpha")), server.step()});
        return server;
    }

    void startDevice(std::int32_t machineId = 7)
    {
        device = std::make_unique<qvrClientDev_t>(window.handle(), lock);
        ASSERT_TRUE(device->connect(L"localhost", machineId, true, peer.port()));
    }

    bool waitSent(const fakeServer_t& server, const std::function<bool(const bytes_t&)>& match,
                  std::chrono::milliseconds timeout = 15s)
    {
        return waitUntil(
            [&] {
                for (const bytes_t& m : server.messages())
                    if (match(m))
                        return true;
                return false;
            },
            timeout);
    }
};

TEST_F(qvrClientDevThreadsTest, GreetingAccessAndPolling)
{
    fakeServer_t& server = addAcceptingConnection();
    startDevice();
    ASSERT_TRUE(waitCode(window, 132));
    ASSERT_TRUE(peer.waitReceived(1, 10000));
    // The answer: "QVRcontrolConnect", int32 7, the user "tech", double 12.0.
    EXPECT_EQ(peer.received()[0],
              hexBytes("FF FE FF 11 51 00 56 00 52 00 63 00 6F 00 6E 00 74 00 72 00 6F 00 6C 00 43 00 6F 00 6E 00"
                       " 6E 00 65 00 63 00 74 00 07 00 00 00 FF FE FF 04 74 00 65 00 63 00 68 00"
                       " 00 00 00 00 00 00 28 40"));
    // Polling: status requests go out as "CMND" around the queued [01][01].
    ASSERT_TRUE(waitSent(server, [](const bytes_t& m) { return m == hexBytes("FF FE FF 04 43 00 4D 00 4E 00 44 00 01 01"); }));
    ASSERT_TRUE(waitUntil([&] { return device->isConnected(); }));
    EXPECT_TRUE(waitCode(window, 1));
    EXPECT_EQ(device->getMachineID(), 7u);
    EXPECT_EQ(device->getMachineName(), L"Alpha");
    EXPECT_EQ(device->accessModeText(), L"Control Access");
    // A newly known machine asks for its file information, and command 12
    // rides with the polls.
    EXPECT_TRUE(waitSent(server, [](const bytes_t& m) { return m == wide("FILESENDERINFO"); }));
    EXPECT_TRUE(waitSent(server, [](const bytes_t& m) { return commandCode(m) == 12; }));
    const auto codesSeen = codes(window);
    EXPECT_EQ(std::count(codesSeen.begin(), codesSeen.end(), 131), 1);
    // While connected, another connect changes nothing.
    EXPECT_FALSE(device->connect(L"localhost", 9, false, peer.port()));
    EXPECT_EQ(device->getRequestedMachineID(), 7);
    EXPECT_TRUE(peer.failures().empty());
}

TEST_F(qvrClientDevThreadsTest, CommandGoesOutAndItsReplyIsDispatched)
{
    fakeServer_t& server = addAcceptingConnection();
    startDevice();
    ASSERT_TRUE(waitUntil([&] { return device->isConnected(); }));
    device->sendCommandArgs(129, 1, 2, 4, -1000);
    // [06][129][axis 2][int32 -1000] inside "CMND".
    ASSERT_TRUE(waitSent(server, [](const bytes_t& m) { return m == cmnd(hexBytes("06 81 02 18 FC FF FF")); }));
    // The fake machine answers with packet type 2: 102 with code 129 in bits 16-23.
    EXPECT_TRUE(waitCode(window, 102 + (129 << 16)));
}

// A command only queued ahead of the wait (14) is answered with type 10 as
// well: that reply closes the other command and releases nobody.
TEST_F(qvrClientDevThreadsTest, SendAndWaitReturnsWhenItsReplyComes)
{
    for (const uint8_t replyType : {uint8_t{10}, uint8_t{12}}) {
        SCOPED_TRACE(int(replyType));
        window.takeAll();
        machine.set([](statusFields_t& s) { s.state = 5; });
        fakeServer_t& server = addAcceptingConnection();
        // Shared with the server loop, which may outlive this iteration.
        auto replySent = std::make_shared<std::atomic<bool>>(false);
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        server.setResponder([this, replySent, released, replyType](const bytes_t& m) {
            if (commandCode(m) == 14) {
                statusFields_t s;
                s.state = 5;
                return statusResp(s, 10);
            }
            if (commandCode(m) == 130) {
                // The reply comes only when the test says so.
                released.wait_for(15s);
                replySent->store(true);
                statusFields_t s;
                s.state = 5;
                return statusResp(s, replyType);
            }
            return machine.respond(m);
        });
        startDevice();
        ASSERT_TRUE(waitUntil([&] { return device->isConnected() && device->getMachineState() == 5; }));
        auto waiter = std::async(std::launch::async, [&] {
            device->sendCommandArgs(14, 4, 90000000);
            device->sendCommandWait(130, 1, 2);
            return replySent->load();
        });
        // 130 goes out only after the type-10 reply to 14 has been handled.
        ASSERT_TRUE(waitSent(server, [](const bytes_t& m) { return m == cmnd(hexBytes("02 82 02")); }));
        EXPECT_EQ(waiter.wait_for(300ms), std::future_status::timeout);
        release.set_value();
        ASSERT_EQ(waiter.wait_for(15s), std::future_status::ready);
        EXPECT_TRUE(waiter.get());
        finish();
    }
}

// A printer that has just left state 5 answers an action with type 2 at once
// and runs it later, while the stored status still says 5. The waiter asks
// for the state and returns only with a status newer than that reply, so a
// procedure looping while the state is 5 stops after one command instead of
// pouring the rest into the printer.
TEST_F(qvrClientDevThreadsTest, SendAndWaitClosedWithoutAStatusDecidesFromANewerOne)
{
    machine.set([](statusFields_t& s) { s.state = 5; });
    fakeServer_t& server = addAcceptingConnection();
    server.setResponder([this](const bytes_t& m) {
        if (commandCode(m) == 130)
            machine.set([](statusFields_t& s) { s.state = 7; });
        return machine.respond(m);  // type 2 for 130
    });
    startDevice();
    ASSERT_TRUE(waitUntil([&] { return device->isConnected() && device->getMachineState() == 5; }));
    // No poll brings the new state: only the status asked for can.
    device->setPollInterval(0);
    auto loop = std::async(std::launch::async, [&] {
        int stateAfterFirst = -1;
        for (int i = 0; i < 100 && device->getMachineState() == 5; ++i) {
            device->sendCommandWait(130, 1, 2);
            if (i == 0)
                stateAfterFirst = device->getMachineState();
        }
        return stateAfterFirst;
    });
    ASSERT_EQ(loop.wait_for(15s), std::future_status::ready);
    EXPECT_EQ(loop.get(), 7);
    const auto messages = server.messages();
    const auto is130 = [](const bytes_t& m) { return commandCode(m) == 130; };
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(), is130), 1);
}

TEST_F(qvrClientDevThreadsTest, WaitForConnectionSendsTheSameRequestAgainAfterAPause)
{
    fakeServer_t& server = addAcceptingConnection();
    struct seen_t {
        std::mutex mutex;
        std::vector<std::pair<bytes_t, std::chrono::steady_clock::time_point>> messages;
    };
    // Shared with the server loop, which may outlive the test's body.
    auto seen = std::make_shared<seen_t>();
    server.setResponder([this, seen](const bytes_t& m) {
        std::lock_guard<std::mutex> guard(seen->mutex);
        seen->messages.emplace_back(m, std::chrono::steady_clock::now());
        // The very first request is asked to wait.
        return seen->messages.size() == 1 ? wide("WAITFORCONNECTION") : machine.respond(m);
    });
    startDevice();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> guard(seen->mutex);
        return seen->messages.size() >= 2;
    }));
    std::lock_guard<std::mutex> guard(seen->mutex);
    EXPECT_EQ(seen->messages[1].first, seen->messages[0].first);
    EXPECT_GE(seen->messages[1].second - seen->messages[0].second, 450ms);
}

TEST_F(qvrClientDevThreadsTest, LostConnectionIsToldAndANewOneGreets)
{
    peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(),
                    scriptedPeer_t::send(connectAnswer(true, 7, "Alpha")), scriptedPeer_t::receive(),
                    scriptedPeer_t::send(statusResp(statusFields_t{})), scriptedPeer_t::close()});
    fakeServer_t& second = addAcceptingConnection();
    startDevice();
    ASSERT_TRUE(waitCode(window, 119));
    ASSERT_TRUE(waitCode(window, 131, 2));
    ASSERT_TRUE(waitCode(window, 132, 2));
    EXPECT_EQ(countCode(window, 119), 1);
    EXPECT_EQ(peer.acceptedCount(), 2);
    // The new connection serves the device as the old one did.
    EXPECT_TRUE(waitSent(second, [](const bytes_t& m) { return commandCode(m) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return device->isConnected(); }));
}

// A server that accepts and closes at once: the end is told once and the
// next attempt waits 2500 ms, instead of one connection after another.
TEST_F(qvrClientDevThreadsTest, AConnectionClosedAtOnceIsRetriedAfterTheInterval)
{
    using clock = std::chrono::steady_clock;
    // Shared with the peer's thread, which may outlive the test's body:
    // the steady clock's count at each accept, and the end of the test.
    struct seen_t {
        std::atomic<long long> accepted[2] = {0, 0};
        std::atomic<bool> done{false};
    };
    auto seen = std::make_shared<seen_t>();
    auto stamp = [seen](int i) {
        return scriptedPeer_t::run([seen, i](int) { seen->accepted[i].store(clock::now().time_since_epoch().count()); });
    };
    peer.addScript({stamp(0), scriptedPeer_t::close()});
    peer.addScript({stamp(1), scriptedPeer_t::waitFor([seen] { return seen->done.load(); })});
    startDevice();
    ASSERT_TRUE(waitUntil([&] { return seen->accepted[1].load() != 0; }, 15s));
    EXPECT_GE(clock::duration(seen->accepted[1].load() - seen->accepted[0].load()), 2500ms);
    EXPECT_EQ(countCode(window, 119), 1);
    EXPECT_EQ(peer.acceptedCount(), 2);
    seen->done.store(true);
}

TEST_F(qvrClientDevThreadsTest, RefusedGreetingIsToldAndRetriedWithANewConnection)
{
    struct case_t {
        double needed;
        double version;
        WPARAM code;
    };
    for (const case_t c : {case_t{12.5, 12.0, 144}, case_t{12.0, 0.5, 145}}) {
        SCOPED_TRACE(c.code);
        // Outlives the peer, whose thread counts into it.
        std::atomic<int> answers{0};
        scriptedPeer_t refusing;
        queueWindow_t caseWindow;
        // Greet, then listen a while for an answer that must not come; the
        // connection is then left open (the peer serves the next one).
        const auto watch = [&](int fd) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 500) > 0)
                answers.fetch_add(1);
        };
        for (int i = 0; i < (c.code == 144 ? 2 : 1); ++i)
            refusing.addScript({scriptedPeer_t::send(greeting(c.needed, c.version)), scriptedPeer_t::run(watch)});
        sharedLock_t caseLock;
        auto caseDevice = std::make_unique<qvrClientDev_t>(caseWindow.handle(), caseLock);
        ASSERT_TRUE(caseDevice->connect(L"localhost", 7, true, refusing.port()));
        ASSERT_TRUE(waitCode(caseWindow, c.code));
        // No answer goes out; after 2500 ms a new connection is made (one
        // case waits for it: the rule is the same for both).
        if (c.code == 144) {
            EXPECT_TRUE(refusing.waitAccepted(2, 15000));
            EXPECT_TRUE(waitCode(caseWindow, c.code, 2));
        }
        EXPECT_TRUE(refusing.waitScriptsDone(15000));
        EXPECT_EQ(answers.load(), 0);
        EXPECT_EQ(countCode(caseWindow, 131), 0);
        caseDevice.reset();
    }
}

TEST_F(qvrClientDevThreadsTest, SplitParameterBlockIsParsedWhole)
{
    // "SENDNVM", its 4096 bytes and a status reply, in two pieces with a
    // pause between them: one message, not two.
    statusFields_t later;
    later.machineId = 7;
    later.state = 6;
    const bytes_t message = wide("SENDNVM") + bytes_t(4096, 0x22) + statusResp(later);
    const bytes_t firstPiece(message.begin(), message.begin() + 1500);
    const bytes_t secondPiece(message.begin() + 1500, message.end());
    fakeServer_t& server = newServer();
    // The next request is answered only once the test has seen state 6:
    // the fake machine's own status would replace it at once.
    auto seen = std::make_shared<std::atomic<bool>>(false);
    peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(),
                    scriptedPeer_t::send(connectAnswer(true, 7, "Alpha")), scriptedPeer_t::receive(),
                    scriptedPeer_t::sendPieces({firstPiece, secondPiece}, 100),
                    scriptedPeer_t::waitFor([seen] { return seen->load(); }), server.step()});
    startDevice();
    const std::int32_t stepBefore = device->stepSizeOf(0);
    ASSERT_TRUE(waitCode(window, 104));
    ASSERT_TRUE(waitUntil([&] { return device->getMachineState() == 6; }));
    seen->store(true);
    // The server runs on this computer: its bytes are not taken, the
    // machine's own files are (still the defaults here).
    EXPECT_EQ(device->stepSizeOf(0), stepBefore);
    EXPECT_NE(device->stepSizeOf(0), 0x22222222);
    // The exchange stays in step: the next request gets its own reply.
    ASSERT_TRUE(waitUntil([&] { return server.messages().size() >= 3; }));
    EXPECT_EQ(countCode(window, 104), 1);
    EXPECT_TRUE(peer.failures().empty());
}

TEST_F(qvrClientDevThreadsTest, LayerRecordsOfABuildAreFetchedAndStored)
{
    machine.set([](statusFields_t& s) {
        s.flags |= 1u << 9;  // building
        s.layerCount = 5;
    });
    fakeServer_t& server = addAcceptingConnection();
    startDevice();
    ASSERT_TRUE(waitUntil([&] { return device->getStatus().layerRecordCount() == 5; }));
    // The main dialog's timer asks again and again, ten at a time.
    ASSERT_TRUE(waitUntil([&] {
        device->requestLayerRecords(10);
        return device->getLastReceivedLayerIndex() == 5;
    }));
    EXPECT_EQ(countCode(window, 124), 6);
    for (std::int32_t i = 0; i <= 5; ++i)
        EXPECT_EQ(device->getLayerRecord(i).height(), 1000 * (i + 1)) << i;
    EXPECT_EQ(device->getLayerRecord(6).height(), 0);
    EXPECT_TRUE(waitSent(server, [](const bytes_t& m) { return m == cmnd(hexBytes("03 0A 05 00")); }));
}

TEST_F(qvrClientDevThreadsTest, DeletingTheDeviceWhileASendIsBlockedReturnsAtOnce)
{
    // A server that answers the first status (the link is up: requests are
    // taken), then every request blindly and never reads: the device's
    // sends fill the connection until one blocks.
    auto stopServer = std::make_shared<std::atomic<bool>>(false);
    peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(),
                    scriptedPeer_t::send(connectAnswer(true, 7, "Alpha")), scriptedPeer_t::receive(),
                    scriptedPeer_t::send(statusResp(statusFields_t{})),
                    scriptedPeer_t::run([stopServer](int fd) {
                        const bytes_t error = wide("ERROR");
                        while (!stopServer->load()) {
                            if (::send(fd, error.data(), error.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                                errno != EAGAIN)
                                break;
                            ::poll(nullptr, 0, 5);
                        }
                    })});
    startDevice();
    ASSERT_TRUE(waitCode(window, 132));
    ASSERT_TRUE(waitUntil([&] { return device->isConnected(); }));
    const std::wstring text(16000, L'x');
    for (int i = 0; i < 800; ++i)
        device->createDumpFile(text, std::to_wstring(i));
    // Blocked: nothing more goes out for a while although requests wait.
    std::uint32_t last = device->sentCount();
    auto changed = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::uint32_t now = device->sentCount();
            if (now != last) {
                last = now;
                changed = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - changed > 500ms;
        },
        60s));
    ASSERT_GT(device->getQueue().count(), 1);
    const auto started = std::chrono::steady_clock::now();
    auto deleting = std::async(std::launch::async, [&] { device.reset(); });
    ASSERT_EQ(deleting.wait_for(15s), std::future_status::ready);
    EXPECT_LE(std::chrono::steady_clock::now() - started, deleteLimit);
    stopServer->store(true);
}

TEST_F(qvrClientDevThreadsTest, DeletingTheDeviceInEveryStateReturnsAtOnceAndLeavesNoThread)
{
    std::atomic<bool> deleted{false};
    struct case_t {
        const char* name;
        int port;  // 0: the peer's; -1: not connected at all
        std::function<void()> setUp;
        std::function<bool()> reached;
    };
    // A port on which nothing listens: every connection is refused and the
    // device tries again every 2500 ms.
    int refusingPort = 0;
    {
        scriptedPeer_t gone;
        refusingPort = gone.port();
    }
    const std::vector<case_t> cases = {
        {"never connected", -1, [] {}, [] { return true; }},
        {"connecting, no greeting yet", 0,
         [&] { peer.addScript({scriptedPeer_t::waitFor([&] { return deleted.load(); })}); },
         [&] { return peer.acceptedCount() >= 1; }},
        {"connected and polling", 0, [&] { addAcceptingConnection(); }, [&] { return device->isConnected(); }},
        {"waiting to send again", 0,
         [&] {
             addAcceptingConnection().setResponder([](const bytes_t&) { return wide("WAITFORCONNECTION"); });
         },
         [&] { return !servers.back()->messages().empty(); }},
        {"reconnecting after a lost link", 0,
         [&] {
             peer.addScript({scriptedPeer_t::send(greeting()), scriptedPeer_t::receive(),
                             scriptedPeer_t::send(connectAnswer(true, 7, "Alpha")), scriptedPeer_t::close()});
         },
         [&] { return countCode(window, 119) >= 1; }},
        {"retrying a refused connection", refusingPort, [] {}, [&] { return device->isRunning(); }},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        deleted.store(false);
        window.takeAll();
        const int threadsBefore = socketTest::threadCount();
        c.setUp();
        device = std::make_unique<qvrClientDev_t>(window.handle(), lock);
        if (c.port >= 0) {
            ASSERT_TRUE(device->connect(L"localhost", 7, true, c.port == 0 ? peer.port() : c.port));
        }
        ASSERT_TRUE(waitUntil(c.reached));
        const auto started = std::chrono::steady_clock::now();
        auto deleting = std::async(std::launch::async, [&] { device.reset(); });
        ASSERT_EQ(deleting.wait_for(15s), std::future_status::ready);
        EXPECT_LE(std::chrono::steady_clock::now() - started, deleteLimit);
        deleted.store(true);
        for (auto& s : servers)
            s->stop();
        ASSERT_TRUE(peer.waitScriptsDone(15000));
        EXPECT_TRUE(waitUntil([&] { return socketTest::threadCount() <= threadsBefore; }))
            << socketTest::threadCount() << " threads, " << threadsBefore << " before";
    }
}

}  // namespace
