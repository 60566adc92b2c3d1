// The link's client device against the in-process stand-in server: the
// greeting and access, status polls, a whole parameter read, a parameter
// write, send-and-wait in state 5, the pairing of command 19 with reply
// type 13, a model built to its end with its layer records, several
// machines and clients, and what each scripted fault makes the client do.
#include "link/qvrClientDev.h"
#include "platform/files.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/support/queueWindow.h"
#include "tests/wendaro/wendaroTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace wendaroTest;
using namespace std::chrono_literals;

namespace {

// WM_USER + 222: the device's notifications.
constexpr unsigned notification = 1024 + 222;

bool waitCode(const queueWindow_t& window, WPARAM code, int times = 1, std::chrono::milliseconds timeout = 20s)
{
    return window.waitFor(
        [&](const std::vector<postedMessage_t>& messages) {
            int n = 0;
            for (const postedMessage_t& m : messages)
                if (m.message == notification && m.wParam == code)
                    ++n;
            return n >= times;
        },
        timeout);
}

int countCode(const queueWindow_t& window, WPARAM code)
{
    int n = 0;
    for (const postedMessage_t& m : window.messages())
        if (m.message == notification && m.wParam == code)
            ++n;
    return n;
}

// One client device with its own window.
struct client_t {
    queueWindow_t window;
    sharedLock_t lock;
    std::unique_ptr<qvrClientDev_t> device;

    void connect(int port, std::int32_t machine, bool control = true)
    {
        device = std::make_unique<qvrClientDev_t>(window.handle(), lock);
        ASSERT_TRUE(device->connect(L"localhost", machine, control, port));
    }
    // Greeting accepted and a first status read.
    bool ready() { return waitCode(window, 131) && waitCode(window, 111); }
    bool waitState(int state, std::chrono::milliseconds timeout = 20s)
    {
        return waitUntil([&] { return device->getMachineState() == state; }, timeout);
    }
};

class wendaroClientThreadsTest : public prefixTest {
protected:
    // The devices go before the server.
    std::unique_ptr<wendaroServer_t> server;
    std::vector<std::unique_ptr<client_t>> clients;

    ~wendaroClientThreadsTest() override
    {
        clients.clear();
        server.reset();
    }

    void startServer(wendaroConfig_t config = testConfig())
    {
        server = std::make_unique<wendaroServer_t>(config);
        ASSERT_TRUE(server->start());
    }

    client_t& newClient(std::int32_t machine = 0, bool control = true)
    {
        clients.push_back(std::make_unique<client_t>());
        clients.back()->connect(server->port(), machine, control);
        EXPECT_TRUE(clients.back()->ready());
        return *clients.back();
    }

    std::size_t traced(const std::function<bool(const wendaroTraceEntry_t&)>& match, std::uint64_t from = 0)
    {
        return server->trace().count(match, from);
    }
};

}  // namespace

TEST_F(wendaroClientThreadsTest, connectsPollsAndReadsTheWholeMemory)
{
    startServer();
    client_t& client = newClient();
    EXPECT_TRUE(waitCode(client.window, 132));  // control access
    EXPECT_EQ(client.device->getMachineID(), 1u);
    EXPECT_EQ(client.device->getMachineName(), L"Printer 1");
    EXPECT_EQ(client.device->getServerVersion(), 12.0);
    EXPECT_TRUE(waitUntil([&] { return client.device->getEmbeddedVersionText() == L"E1.12.0"; }));
    EXPECT_TRUE(waitCode(client.window, 111, 3));  // polls keep being answered

    server->printer(1).setMemoryWord(40, 3862280);
    const std::uint64_t mark = server->trace().mark();
    client.device->requestParameters();
    ASSERT_TRUE(waitCode(client.window, 108));
    EXPECT_EQ(traced([](const wendaroTraceEntry_t& e) { return e.kind == wendaroTraceEntry_t::kind_e::in_e &&
                                                                e.command == 5; },
                     mark),
              69u);
    std::vector<std::int32_t> read(1024);
    client.device->getMachineParameterMemory(read.data());
    const parameterMemory_t memory = server->printer(1).memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), read.begin()));
    EXPECT_EQ(read[40], 3862280);
}

TEST_F(wendaroClientThreadsTest, aParameterWriteIsSeenInThePrinter)
{
    startServer();
    client_t& client = newClient();
    client.device->sendParameter(23, 145500000, 1, true);
    ASSERT_TRUE(waitUntil([&] { return server->printer(1).memoryWord(23) == 145500000; }));
    // The opened mark: bit 23 of word 764.
    EXPECT_NE(server->printer(1).memoryWord(764) & (1 << 23), 0);
}

TEST_F(wendaroClientThreadsTest, sendAndWaitInTechnicianModeIsAnsweredByTheAction)
{
    wendaroConfig_t config = testConfig();
    config.machines[0].printer.actionMs = 300;
    startServer(config);
    client_t& client = newClient();
    client.device->prepareForBatch();
    ASSERT_TRUE(client.waitState(5));
    const auto start = std::chrono::steady_clock::now();
    client.device->sendCommandWait(130, 1, 2);  // home Z
    const auto took = std::chrono::steady_clock::now() - start;
    // Ended by its reply (type 10), not by the client's 60-second limit.
    EXPECT_LT(took, 30s);
    EXPECT_TRUE(server->printer(1).status().hasFlag(1u << 2));  // Z homed
    EXPECT_GE(traced([](const wendaroTraceEntry_t& e) {
                  return e.kind == wendaroTraceEntry_t::kind_e::out_e && e.command == 130 && e.packetType == 10;
              }),
              1u);
}

TEST_F(wendaroClientThreadsTest, command19IsAnsweredOnlyByType13)
{
    startServer();
    client_t& client = newClient();
    client.device->sendCommand(19);
    ASSERT_TRUE(waitCode(client.window, 141));
    // A type-1 reply to 19 does not close it: the client sends 19 again.
    simFaultRule_t wrongType;
    wrongType.code = 19;
    wrongType.action = simFaultRule_t::action_e::replyType_e;
    wrongType.value = 1;
    server->printer(1).addFault(wrongType);
    const std::uint64_t mark = server->trace().mark();
    client.device->sendCommand(19);
    ASSERT_TRUE(waitCode(client.window, 141, 2));
    EXPECT_EQ(traced([](const wendaroTraceEntry_t& e) { return e.kind == wendaroTraceEntry_t::kind_e::in_e &&
                                                                e.command == 19; },
                     mark),
              2u);
    for (const wendaroTraceEntry_t& e : server->trace().since()) {
        if (e.kind == wendaroTraceEntry_t::kind_e::out_e && e.packetType == 13) {
            EXPECT_EQ(e.command, 19);
        }
    }
}

TEST_F(wendaroClientThreadsTest, aModelIsBuiltToItsEndAndItsLayerRecordsFetched)
{
    startServer();
    client_t& client = newClient();
    ASSERT_TRUE(client.device->buildEmptyModel(5, 100, 0, 0));
    ASSERT_TRUE(waitCode(client.window, 103));  // added to the queue
    ASSERT_TRUE(waitUntil([&] { return server->printer(1).machineState() == 4; }, 30s));
    EXPECT_TRUE(waitCode(client.window, 130));  // the model has ended
    ASSERT_TRUE(waitUntil(
        [&] {
            client.device->requestLayerRecords(10);
            return client.device->getLastReceivedLayerIndex() == 5;
        },
        20s));
    for (int layer = 1; layer <= 5; ++layer) {
        const auto expected = server->printer(1).layerRecord(layer);
        ASSERT_TRUE(expected);
        EXPECT_EQ(client.device->getLayerRecord(layer).height(), expected->height()) << layer;
    }
    EXPECT_GT(client.device->getLayerRecord(5).height(), client.device->getLayerRecord(1).height());
    EXPECT_EQ(client.device->getModelInfo().modelName(), "Empty_Model");
}

TEST_F(wendaroClientThreadsTest, severalMachinesAndClientsStayApart)
{
    startServer(testConfig({1, 2}));
    server->printer(2).setMemoryWord(115, -1500000);
    client_t& second = newClient(2);
    client_t& first = newClient(1);
    client_t& watcher = newClient(2, false);
    EXPECT_TRUE(waitCode(watcher.window, 149));  // view only
    EXPECT_EQ(second.device->getMachineID(), 2u);
    EXPECT_EQ(first.device->getMachineID(), 1u);
    EXPECT_EQ(watcher.device->getAccessModeText(), L"View Only");
    second.device->requestParameters();
    first.device->requestParameters();
    ASSERT_TRUE(waitCode(second.window, 108));
    ASSERT_TRUE(waitCode(first.window, 108));
    std::vector<std::int32_t> a(1024), b(1024);
    second.device->getMachineParameterMemory(a.data());
    first.device->getMachineParameterMemory(b.data());
    EXPECT_EQ(a[115], -1500000);
    EXPECT_NE(b[115], -1500000);
    EXPECT_EQ(a[0], 2);
    EXPECT_EQ(b[0], 1);
    EXPECT_TRUE(fileOrFolderExists(server->dataRoot() + L"/1/Daily_Logs"));
    EXPECT_TRUE(fileOrFolderExists(server->dataRoot() + L"/2/Daily_Logs"));
    EXPECT_EQ(server->machine(2).attached().size(), 2u);
}

TEST_F(wendaroClientThreadsTest, scriptedFaultsGiveWhatTheClientDoes)
{
    startServer();
    client_t& client = newClient();
    using action = wendaroFaultRule_t::action_e;

    // "WAITFORCONNECTION" twice: the same request goes again after a pause.
    wendaroFaultRule_t wait;
    wait.command = 12;
    wait.action = action::waitForConnection_e;
    wait.times = 2;
    std::uint64_t mark = server->trace().mark();
    const int waitRule = server->faults().add(wait);
    ASSERT_TRUE(waitUntil([&] { return server->faults().actedCount(waitRule) == 2; }));
    ASSERT_TRUE(server->trace().waitFor(
        [](const wendaroTraceEntry_t& e) { return e.kind == wendaroTraceEntry_t::kind_e::out_e && e.packetType == 11; },
        10s, mark));
    // The same request came three times in a row: nothing went between.
    std::vector<int> requests;
    for (const wendaroTraceEntry_t& e : server->trace().since(mark)) {
        if (e.kind == wendaroTraceEntry_t::kind_e::in_e)
            requests.push_back(e.command);
    }
    const auto first12 = std::find(requests.begin(), requests.end(), 12);
    ASSERT_GE(requests.end() - first12, 3);
    EXPECT_EQ(std::vector<int>(first12, first12 + 3), (std::vector<int>{12, 12, 12}));

    // The error number the printer raises shows in the client's status.
    wendaroFaultRule_t error;
    error.command = 1;
    error.action = action::setError_e;
    error.value = 37;
    server->faults().add(error);
    EXPECT_TRUE(waitUntil([&] { return client.device->getStatus().errorNumber() == 37; }));
    server->printer(1).clearError();

    // A closed connection: notification 119, then a new connection and greeting.
    wendaroFaultRule_t close;
    close.command = 1;
    close.action = action::closeAfter_e;
    server->faults().add(close);
    ASSERT_TRUE(waitCode(client.window, 119));
    ASSERT_TRUE(waitCode(client.window, 131, 2));
    EXPECT_TRUE(waitUntil([&] { return server->connectionCount() == 1; }));

}

TEST_F(wendaroClientThreadsTest, aRefusedGreetingIsTriedAgain)
{
    startServer();
    client_t& client = newClient();
    using action = wendaroFaultRule_t::action_e;
    // A refused greeting: 144, and the client keeps trying.
    wendaroFaultRule_t refuse;
    refuse.word = L"BrevanquillorMachinesServer";
    refuse.action = action::greetingVersions_e;
    refuse.a = 12.5;
    refuse.times = 1;
    server->faults().add(refuse);
    const std::uint64_t mark = server->trace().mark();
    server->dropConnection(server->connections().front().id);
    ASSERT_TRUE(waitCode(client.window, 144));
    EXPECT_TRUE(waitCode(client.window, 131, 2));
    EXPECT_GE(traced([](const wendaroTraceEntry_t& e) { return e.kind == wendaroTraceEntry_t::kind_e::opened_e; },
                     mark),
              2u);
}

// The client's own 5-second reply limit runs in real time.
TEST_F(wendaroClientThreadsTest, SlowAnUnansweredRequestMakesTheClientReconnect)
{
    startServer();
    client_t& client = newClient();
    wendaroFaultRule_t silent;
    silent.command = 12;
    silent.action = wendaroFaultRule_t::action_e::noReply_e;
    server->faults().add(silent);
    const std::uint64_t mark = server->trace().mark();
    ASSERT_TRUE(waitCode(client.window, 131, 2, 30s));
    EXPECT_GE(traced([](const wendaroTraceEntry_t& e) { return e.kind == wendaroTraceEntry_t::kind_e::opened_e; },
                     mark),
              1u);
    EXPECT_EQ(countCode(client.window, 144), 0);
}
