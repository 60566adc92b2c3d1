// The stand-in server through its socket, with a raw loop-back client: the
// greeting and access, one reply per request and nothing unasked, notices in
// the client's order, words that stand alone, bad input, split requests, a
// client that leaves mid-action, the block upload, several machines and
// clients, and the scripted faults.
#include "link/socketRequestStream.h"
#include "machine/fileSendParams.h"
#include "platform/files.h"
#include "standins/wendaro/wendaroServer.h"
#include "tests/wendaro/wendaroTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace wendaroTest;
using namespace std::chrono_literals;

namespace {

bytes_t machineEntry(bool first, std::uint32_t id, const std::string& host, const std::string& name)
{
    const bytes_t tag = first ? bytes_t{0xFF, 0xFF, 0x01, 0x00, 0x13, 0x00} + bytes_t{'m', 'a', 'c', 'h', 'i', 'n', 'e',
                                                                                      'H', 'o', 's', 't', 'I', 'D', 'n',
                                                                                      'a', 'm', 'e', '_', 't'}
                              : bytes_t{0x01, 0x80};
    return tag + u32(id) + u32(0) + u32(0) + wide(host) + wide(name);
}

bytes_t messageOf(socketRequestStream_t& stream)
{
    return bytes_t(stream.bytes(), stream.bytes() + stream.length());
}

// A model in the format the system writes itself, with `layers` layers.
std::string modelText(int layers)
{
    std::string text = "$ 0 0 0 0 0 100 1000 168000 Test_Cube\n";
    for (int i = 0; i < layers; ++i)
        text += "@ 1000\n#\n";
    return text + "\n$\n";
}

class wendaroServerThreadsTest : public prefixTest {
protected:
    std::unique_ptr<wendaroServer_t> server;

    void startServer(wendaroConfig_t config = testConfig())
    {
        config.hostName = L"QVRTEST";
        server = std::make_unique<wendaroServer_t>(config);
        std::wstring error;
        ASSERT_TRUE(server->start(&error)) << std::string(error.begin(), error.end());
        ASSERT_NE(server->port(), 0);
    }

    std::unique_ptr<rawClient_t> connected(std::int32_t machine = 0, bool control = true)
    {
        auto client = std::make_unique<rawClient_t>(server->port());
        EXPECT_TRUE(client->connected());
        EXPECT_TRUE(client->connectTo(machine, control).has_value());
        return client;
    }

    std::wstring writeModel(const std::string& name, int layers)
    {
        const std::wstring path = server->shareFolder() + L"/" + std::wstring(name.begin(), name.end());
        EXPECT_TRUE(writeRawFile(path, modelText(layers)));
        return path;
    }
};

}  // namespace

TEST_F(wendaroServerThreadsTest, greetsWithTheMachineListAndAnswersTheChoice)
{
    startServer(testConfig({3, 12}));
    rawClient_t client(server->port());
    const auto greeting = client.receive();
    ASSERT_TRUE(greeting);
    const bytes_t expected = wide("BrevanquillorMachinesServer") + f64(12.0) + f64(12.0) + u32(2) +
                             machineEntry(true, 3, "QVRTEST", "Printer 3") +
                             machineEntry(false, 12, "QVRTEST", "Printer 12");
    EXPECT_EQ(*greeting, expected);
    EXPECT_TRUE(startsWith(*greeting, bytes_t{0xFF, 0xFE, 0xFF, 0x1B, 0x42, 0x00}));

    struct case_t {
        std::int32_t wanted;
        bool control;
        std::optional<bytes_t> answer;
    };
    const std::vector<case_t> cases = {
        {0, true, wide("QVRcontrolConnect") + u32(3) + wide("Printer 3")},
        {12, true, wide("QVRcontrolConnect") + u32(12) + wide("Printer 12")},
        {12, false, wide("QVRnormalConnect") + u32(12) + wide("Printer 12")},
        {99, true, std::nullopt},  // no such machine: no answer, the client retries
    };
    for (const case_t& c : cases) {
        rawClient_t other(server->port());
        ASSERT_TRUE(other.receive());
        ASSERT_TRUE(other.send(connectWord(c.control, c.wanted)));
        if (c.answer) {
            EXPECT_EQ(other.receive(), c.answer) << c.wanted;
        } else {
            EXPECT_TRUE(other.quietFor(300ms)) << c.wanted;
        }
    }
}

TEST_F(wendaroServerThreadsTest, answersEachRequestOnceAndNeverUnasked)
{
    startServer();
    const std::wstring model = writeModel("cube.zs", 3);
    auto client = connected();
    // The first reply after the answer brings the version texts, in front.
    const auto first = client->exchange(cmnd(1));
    ASSERT_TRUE(first);
    EXPECT_TRUE(startsWith(*first, wide("SENDEMBEDDEDVERSIONSTRING") + wide("E1.12.0") + wide("")));
    EXPECT_EQ(respPacket(*first).size(), 61u);
    EXPECT_EQ(respPacket(*first)[0], 1);
    EXPECT_TRUE(client->quietFor(200ms));

    // A whole build runs while the client says nothing: nothing comes.
    ASSERT_TRUE(server->printer(1).queueModelFile(model));
    ASSERT_TRUE(waitUntil([&] { return server->printer(1).machineState() == 4; }, 20s));
    EXPECT_TRUE(client->quietFor(200ms));

    // Then one reply carries what happened, in the client's order, before the answer.
    const auto next = client->exchange(cmnd(12));
    ASSERT_TRUE(next);
    std::size_t last = 0;
    for (const char* word : {"HASQUEUECHANGEDRESP", "HASNEWLOGRESP", "HASNEWFILESENDER", "HASNEWMODELINFO",
                             "HASNEWTIMEEST", "MODELHASENDED", "RESP"}) {
        const std::size_t at = find(*next, wide(word));
        ASSERT_NE(at, std::string::npos) << word;
        EXPECT_GE(at, last) << word;
        last = at;
    }
    EXPECT_EQ(respPacket(*next)[0], 11);
    EXPECT_TRUE(client->quietFor(200ms));
    // Nothing is repeated.
    const auto after = client->exchange(cmnd(1));
    ASSERT_TRUE(after);
    EXPECT_TRUE(startsWith(*after, wide("RESP")));
}

TEST_F(wendaroServerThreadsTest, wordsThatStandAloneLeaveTheNoticesWaiting)
{
    wendaroConfig_t config = testConfig();
    config.machines[0].password = L"pw";
    startServer(config);
    auto client = connected();
    // A notice waits (the version texts; the connection's log line).
    const auto wrong = client->exchange(wide("CANCELBUILD") + u32(0));
    EXPECT_EQ(wrong, wide("WRONGPASSWORD"));
    const auto right = client->exchange(wide("CANCELBUILD") + wide("PASSWORD") + wide("pw") + u32(0));
    ASSERT_TRUE(right);
    EXPECT_TRUE(startsWith(*right, wide("SENDEMBEDDEDVERSIONSTRING")));
    EXPECT_NE(find(*right, wide("CANCELBUILD")), std::string::npos);

    server->printer(1).appendDailyLog(L"Something happened");
    const auto log = client->exchange(wide("MACHINELOGDATA") + u32(1));
    ASSERT_TRUE(log);
    EXPECT_TRUE(startsWith(*log, wide("MACHINELOGDATA")));
    // A 15-character header the client drops, then the last line.
    EXPECT_EQ(find(*log, wide("HASNEWLOGRESP")), std::string::npos);
    EXPECT_NE(find(*log, bytes_t{'S', 0, 'o', 0, 'm', 0, 'e', 0}), std::string::npos);
    EXPECT_NE(find(*client->exchange(cmnd(1)), wide("HASNEWLOGRESP")), std::string::npos);
}

TEST_F(wendaroServerThreadsTest, aNoticeThatEndsAMessageReplacesOnlyAStatusPoll)
{
    startServer();
    auto client = connected();
    client->exchange(cmnd(1));
    server->queueNotice(1, 0, wendaroNotice_t::text(wendaroNotice_t::kind_e::slicerOk_e, L"sliced"));
    server->queueNotice(1, 0, wendaroNotice_t::text(wendaroNotice_t::kind_e::logFileNames_e, L"a.log", L"b.log"));
    // Other requests keep their own answers.
    for (const bytes_t& request : {cmnd(12), cmnd(5, {0, 0, 60, 0}), wide("QUEUEINFO")}) {
        const auto reply = client->exchange(request);
        ASSERT_TRUE(reply);
        EXPECT_EQ(find(*reply, wide("SLICERSERVEROK")), std::string::npos);
    }
    const auto poll = client->exchange(cmnd(1));
    ASSERT_TRUE(poll);
    EXPECT_NE(find(*poll, wide("SLICERSERVEROK") + wide("sliced")), std::string::npos);
    EXPECT_EQ(find(*poll, wide("RESP")), std::string::npos);
    // "GETLOGFILENAMES" only as the first and only word.
    EXPECT_EQ(client->exchange(cmnd(1)), wide("GETLOGFILENAMES") + wide("a.log") + wide("b.log"));
    EXPECT_NE(find(*client->exchange(cmnd(1)), wide("RESP")), std::string::npos);
}

TEST_F(wendaroServerThreadsTest, viewOnlyConnectionsMayOnlyRead)
{
    startServer();
    auto viewer = connected(0, false);
    viewer->exchange(cmnd(1));
    struct case_t {
        bytes_t request;
        const char* answer;
    };
    const std::vector<case_t> cases = {
        {cmnd(1), "RESP"},
        {cmnd(12), "RESP"},
        {cmnd(147), "RESP"},
        {cmnd(130, {2}), "NOPERMISSION"},
        {cmnd(3, {0, 1, 0, 0, 0, 0, 1, 0}), "NOPERMISSION"},
        {wide("QUEUEINFO"), "QUEUEINFO"},
        {wide("FILESENDERINFO"), "FILESENDERINFO"},
        {wide("CANCELBUILD") + u32(0), "NOPERMISSION"},
        {wide("CLOSEMASTERPROGRAM"), "NOPERMISSION"},
    };
    for (const case_t& c : cases) {
        const auto reply = viewer->exchange(c.request);
        ASSERT_TRUE(reply) << c.answer;
        EXPECT_NE(find(*reply, wide(c.answer)), std::string::npos) << c.answer;
    }
    EXPECT_FALSE(server->closeRequested());
}

TEST_F(wendaroServerThreadsTest, exclusiveControlGoesToOneUserAndATextMessageIsTaken)
{
    wendaroConfig_t config = testConfig();
    config.exclusiveControl = true;
    startServer(config);
    rawClient_t first(server->port());
    EXPECT_TRUE(startsWith(*first.connectTo(0, true, "anna"), wide("QVRcontrolConnect")));
    rawClient_t second(server->port());
    EXPECT_TRUE(startsWith(*second.connectTo(0, true, "bert"), wide("QVRnormalConnect")));
    // The same user again (a reconnect): control moves, the old connection goes.
    rawClient_t again(server->port());
    EXPECT_TRUE(startsWith(*again.connectTo(0, true, "anna"), wide("QVRcontrolConnect")));
    EXPECT_TRUE(first.closedWithin(5s));
    EXPECT_NE(find(*second.exchange(cmnd(130, {2})), wide("NOPERMISSION")), std::string::npos);

    rawClient_t sender(server->port());
    ASSERT_TRUE(sender.receive());
    const bytes_t record = bytes_t{0xFF, 0xFF, 0x01, 0x00, 0x0D, 0x00} +
                           bytes_t{'t', 'e', 'x', 't', 'M', 'e', 's', 's', 'a', 'g', 'e', '_', 't'} + wide("QVRTEST") +
                           wide("anna") + wide("Lunch?");
    EXPECT_EQ(sender.exchange(wide("TEXTMESSAGE") + record), wide("OK"));
    ASSERT_EQ(server->textMessages().size(), 1u);
    EXPECT_EQ(server->textMessages()[0].text, L"Lunch?");
    // A client that keeps sending does not grow the list without end.
    for (std::size_t i = 0; i < wendaroServer_t::keptTextMessages; ++i)
        server->noteTextMessage(textMessage_t{L"bert", L"QVRTEST", L"Again " + std::to_wstring(i)});
    ASSERT_EQ(server->textMessages().size(), wendaroServer_t::keptTextMessages);
    EXPECT_EQ(server->textMessages().front().text, L"Again 0");
}

TEST_F(wendaroServerThreadsTest, badInputIsAnsweredAndDisturbsNoOneElse)
{
    startServer();
    auto bystander = connected();
    auto client = connected();
    struct case_t {
        const char* name;
        bytes_t request;
        const char* answer;
    };
    const std::vector<case_t> cases = {
        {"garbage", bytes_t{0x13, 0x37, 0x00, 0xFF, 0x42}, "ERROR"},
        {"packet cut short", wide("CMND") + bytes_t{5, 129, 2}, "ERROR"},
        {"packet longer than its length", wide("CMND") + bytes_t{1, 1, 9, 9}, "ERROR"},
        {"empty packet", wide("CMND") + bytes_t{0}, "ERROR"},
        {"unknown word", wide("FROBNICATE") + u32(1), "ERROR"},
        {"second greeting answer", connectWord(true, 1), "ERROR"},
        {"block without an upload", wide("SENDQVRFILEBLOCK") + u32(0) + bytes_t{1, 2}, "ERROR"},
        {"record of the wrong class", wide("LOCALSLICEFILE") + bytes_t{0xFF, 0xFF, 1, 0, 1, 0, 'x'}, "ERROR"},
        {"command of the wrong length", cmnd(129, {2, 0}), "RESP"},
        {"unknown command", cmnd(222), "RESP"},
    };
    for (const case_t& c : cases) {
        const auto reply = client->exchange(c.request);
        ASSERT_TRUE(reply) << c.name;
        EXPECT_NE(find(*reply, wide(c.answer)), std::string::npos) << c.name;
        const auto other = bystander->exchange(cmnd(1));
        ASSERT_TRUE(other) << c.name;
        EXPECT_NE(find(*other, wide("RESP")), std::string::npos) << c.name;
    }
    EXPECT_GE(server->trace().count([](const wendaroTraceEntry_t& e) { return e.malformed; }), 4u);
    // A request before the greeting answer.
    rawClient_t early(server->port());
    ASSERT_TRUE(early.receive());
    EXPECT_EQ(early.exchange(cmnd(1)), wide("ERROR"));
}

TEST_F(wendaroServerThreadsTest, aRequestSplitByTheNetworkIsReadWhole)
{
    startServer();
    auto client = connected();
    client->exchange(cmnd(1));
    const bytes_t request = cmnd(5, {0, 0, 60, 0});
    const std::size_t cuts[] = {3, 12};
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        ASSERT_TRUE(client->send(bytes_t(request.begin() + static_cast<std::ptrdiff_t>(from),
                                         request.begin() + static_cast<std::ptrdiff_t>(cut))));
        EXPECT_TRUE(client->quietFor(50ms));
        from = cut;
    }
    ASSERT_TRUE(client->send(bytes_t(request.begin() + static_cast<std::ptrdiff_t>(from), request.end())));
    const auto reply = client->receive();
    ASSERT_TRUE(reply);
    const bytes_t packet = respPacket(*reply);
    ASSERT_EQ(packet.size(), 64u);
    EXPECT_EQ(packet[0], 7);
    EXPECT_EQ(packet[1], 60);
    EXPECT_TRUE(client->quietFor(200ms));
}

TEST_F(wendaroServerThreadsTest, aClientThatLeavesDuringAnActionLeavesNothingBehind)
{
    wendaroConfig_t config = testConfig();
    config.clock = wendaroConfig_t::clock_e::manual_e;
    config.machines[0].printer.actionMs = 5000;
    startServer(config);
    {
        auto client = connected();
        client->exchange(cmnd(1));
        server->printer(1).setState(5);
        // An awaited action: the reply waits for the printer's clock.
        ASSERT_TRUE(client->send(cmnd(130, {2})));
        ASSERT_TRUE(server->trace().waitFor([](const wendaroTraceEntry_t& e) { return e.command == 130; }, 10s));
        EXPECT_TRUE(client->quietFor(100ms));
    }
    ASSERT_TRUE(waitUntil([&] { return server->connectionCount() == 0; }, 10s));
    EXPECT_TRUE(waitUntil([&] { return server->idleWorkerCount() == server->workerCount(); }, 10s));
    EXPECT_EQ(server->machine(1).attached().size(), 0u);
    // The action still runs to its end; nobody gets its reply.
    server->advance(6000);
    EXPECT_TRUE(server->printer(1).actionsIdle());
    auto again = connected();
    EXPECT_NE(find(*again->exchange(cmnd(1)), wide("RESP")), std::string::npos);
}

TEST_F(wendaroServerThreadsTest, aModelUploadedInBlocksIsQueued)
{
    startServer();
    // Held in the queue, so that a fast printer cannot build it away before
    // the queue is looked at.
    server->printer(1).setQueuePaused(true);
    auto client = connected();
    client->exchange(cmnd(1));
    std::string content = modelText(4);
    content.resize(40000, ' ');
    fileSendParams_t record(L"C:/models/cube.zs", 2, 0, L"C:/models/cube.zs", 1, 1999, 0, 0, L"tech");
    record.setInteger(2, static_cast<std::int32_t>(content.size()));
    socketRequestStream_t start(L"REMOTEQVRFILE");
    start << record;
    EXPECT_NE(find(*client->exchange(messageOf(start)), wide("SENDQVRFILEBLOCK")), std::string::npos);

    std::size_t offset = 0;
    while (offset < content.size()) {
        const std::size_t length = std::min<std::size_t>(31743, content.size() - offset);
        socketRequestStream_t block(L"SENDQVRFILEBLOCK");
        block << static_cast<std::uint32_t>(offset);
        block.writeRaw(content.data() + offset, length);
        const bytes_t message = messageOf(block);
        if (offset == 0) {
            EXPECT_EQ(message.size(), 31783u);
        }
        const auto reply = client->exchange(message);
        ASSERT_TRUE(reply);
        EXPECT_NE(find(*reply, wide("SENDQVRFILEBLOCK")), std::string::npos);
        offset += length;
    }
    const auto finished = client->exchange(wide("FINISHQVRFILESEND"));
    ASSERT_TRUE(finished);
    EXPECT_NE(find(*finished, wide("FINISHQVRFILESEND")), std::string::npos);
    const std::wstring stored = server->shareFolder() + L"/cube.zs_tempQVRfile";
    EXPECT_EQ(readRawFile(stored), content);
    const auto queue = server->printer(1).queueList();
    ASSERT_FALSE(queue.empty());
    EXPECT_EQ(queue.front().path, stored);

    // A gap abandons the upload.
    ASSERT_TRUE(client->exchange(messageOf(start)));
    socketRequestStream_t gap(L"SENDQVRFILEBLOCK");
    gap << static_cast<std::uint32_t>(100);
    gap.writeRaw(content.data(), 10);
    EXPECT_EQ(find(*client->exchange(messageOf(gap)), wide("SENDQVRFILEBLOCK")), std::string::npos);
    EXPECT_NE(find(*client->exchange(wide("FINISHQVRFILESEND")), wide("ERROR")), std::string::npos);
}

TEST_F(wendaroServerThreadsTest, machinesKeepTheirOwnMemoryAndClientsTheirOwnNotices)
{
    startServer(testConfig({1, 2}));
    auto writer = connected(1);
    auto watcher = connected(1, false);
    auto other = connected(2);
    for (auto* c : {writer.get(), watcher.get(), other.get()})
        c->exchange(cmnd(1));
    const std::int32_t before = server->printer(2).memoryWord(23);
    // Word 23 := 145000000, opened mark set.
    const std::uint32_t value = 145000000;
    const auto written = writer->exchange(cmnd(3, {92, 0, static_cast<std::uint8_t>(value),
                                                   static_cast<std::uint8_t>(value >> 8),
                                                   static_cast<std::uint8_t>(value >> 16),
                                                   static_cast<std::uint8_t>(value >> 24), 1, 1}));
    ASSERT_TRUE(written);
    EXPECT_EQ(respPacket(*written)[0], 2);
    EXPECT_EQ(server->printer(1).memoryWord(23), 145000000);
    EXPECT_EQ(server->printer(2).memoryWord(23), before);
    // The other client of that machine hears of it; the writer and the
    // other machine's client do not.
    EXPECT_NE(find(*watcher->exchange(cmnd(1)), wide("SENDNVM")), std::string::npos);
    EXPECT_EQ(find(*writer->exchange(cmnd(1)), wide("SENDNVM")), std::string::npos);
    EXPECT_EQ(find(*other->exchange(cmnd(1)), wide("SENDNVM")), std::string::npos);
    EXPECT_NE(server->printer(1).machineFolder(), server->printer(2).machineFolder());
    EXPECT_TRUE(fileOrFolderExists(server->printer(2).machineFolder()));
}

TEST_F(wendaroServerThreadsTest, scriptedFaultsShapeTheReply)
{
    startServer();
    using action = wendaroFaultRule_t::action_e;
    struct case_t {
        const char* name;
        wendaroFaultRule_t rule;
        bytes_t request;
        std::function<void(rawClient_t&, const bytes_t&)> check;
    };
    auto rule = [](action a, int value = 0) {
        wendaroFaultRule_t r;
        r.action = a;
        r.value = value;
        r.command = 1;
        return r;
    };
    wendaroFaultRule_t word = rule(action::replaceWord_e);
    word.text = L"NOPERMISSION";
    wendaroFaultRule_t chunk = rule(action::chunkWrongOffset_e);
    chunk.command = 5;
    wendaroFaultRule_t slowClose = rule(action::delay_e, 3000);
    slowClose.command = -1;
    slowClose.word = L"CLOSEMASTERPROGRAM";
    const std::vector<case_t> cases = {
        {"no reply", rule(action::noReply_e), cmnd(1),
         [](rawClient_t& c, const bytes_t&) { EXPECT_TRUE(c.quietFor(300ms)); }},
        {"wait for connection", rule(action::waitForConnection_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(c.exchange(r), wide("WAITFORCONNECTION")); }},
        {"another word", word, cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(c.exchange(r), wide("NOPERMISSION")); }},
        {"truncated", rule(action::truncate_e, 5), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(c.exchange(r)->size(), 5u); }},
        {"two messages in one send", rule(action::twoMessages_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             const auto reply = c.exchange(r);
             EXPECT_EQ(find(*reply, wide("HASNEWLOGRESP")), reply->size() - wide("HASNEWLOGRESP").size());
         }},
        {"out of order", rule(action::outOfOrder_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             EXPECT_TRUE(startsWith(*c.exchange(r), wide("HASNEWLOGRESP") + wide("ERRORLOGINFO")));
         }},
        {"split send", rule(action::splitSend_e, 300), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             const auto first = c.exchange(r);
             const auto second = c.receive();
             ASSERT_TRUE(first && second);
             EXPECT_EQ(first->size() + second->size(), wide("RESP").size() + 61);
         }},
        {"wrong chunk offset", chunk, cmnd(5, {0, 0, 60, 0}),
         [](rawClient_t& c, const bytes_t& r) {
             const bytes_t packet = respPacket(*c.exchange(r));
             EXPECT_EQ(packet[2] | (packet[3] << 8), 60);
         }},
        {"delayed", rule(action::delay_e, 300), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             ASSERT_TRUE(c.send(r));
             EXPECT_TRUE(c.quietFor(100ms));
             EXPECT_TRUE(c.receive());
         }},
        {"empty packet", rule(action::replacePacket_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(c.exchange(r), wide("RESP")); }},
        {"corrupt tag", rule(action::corruptByte_e, 0), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(c.exchange(r)->front(), 0x00); }},
        {"state changed", rule(action::setState_e, 2), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(respPacket(*c.exchange(r))[1 + 50], 2); }},
        {"media taken away", rule(action::removeMedia_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(respPacket(*c.exchange(r))[1 + 12 + 1] & 1, 0); }},
        {"error number", rule(action::setError_e, 28), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) { EXPECT_EQ(respPacket(*c.exchange(r))[1 + 48], 28); }},
        {"closed after the reply", rule(action::closeAfter_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             EXPECT_TRUE(c.exchange(r));
             EXPECT_TRUE(c.closedWithin(5s));
         }},
        {"closed instead of the reply", rule(action::closeBefore_e), cmnd(1),
         [](rawClient_t& c, const bytes_t& r) {
             ASSERT_TRUE(c.send(r));
             EXPECT_TRUE(c.closedWithin(5s));
         }},
        // The program stops the server as soon as it sees the request: the
        // asker's "OK" goes out first, however late.
        {"asked to close, the reply delayed", slowClose, wide("CLOSEMASTERPROGRAM"),
         [this](rawClient_t& c, const bytes_t& r) {
             ASSERT_TRUE(c.send(r));
             ASSERT_TRUE(waitUntil([&] {
                 return server->trace().count([](const wendaroTraceEntry_t& e) {
                     return e.kind == wendaroTraceEntry_t::kind_e::out_e && e.fault != 0 && e.hasWord(L"OK");
                 }) == 1;
             }));
             EXPECT_FALSE(server->closeRequested());
             const auto reply = c.receive();
             ASSERT_TRUE(reply);
             EXPECT_NE(find(*reply, wide("OK")), std::string::npos);
             EXPECT_TRUE(waitUntil([&] { return server->closeRequested(); }));
         }},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        server->faults().clear();
        server->printer(1).clearError();
        server->printer(1).setState(7);
        server->printer(1).setMedia(true);
        auto client = connected();
        client->exchange(cmnd(12));
        server->faults().add(c.rule);
        c.check(*client, c.request);
        server->faults().clear();
    }
}

TEST_F(wendaroServerThreadsTest, greetingFaultsAndThePrinterLink)
{
    startServer();
    using action = wendaroFaultRule_t::action_e;
    wendaroFaultRule_t silent;
    silent.word = L"BrevanquillorMachinesServer";
    silent.action = action::noReply_e;
    server->faults().add(silent);
    {
        rawClient_t client(server->port());
        EXPECT_TRUE(client.quietFor(300ms));
    }
    wendaroFaultRule_t versions;
    versions.word = L"BrevanquillorMachinesServer";
    versions.action = action::greetingVersions_e;
    versions.a = 12.5;
    versions.b = 0.5;
    server->faults().add(versions);
    {
        rawClient_t client(server->port());
        EXPECT_TRUE(startsWith(*client.receive(), wide("BrevanquillorMachinesServer") + f64(12.5) + f64(0.5)));
    }

    auto client = connected();
    client->exchange(cmnd(1));
    server->printerLinkDown(1, wendaroMachine_t::link_e::waitForConnection_e);
    EXPECT_EQ(client->exchange(cmnd(1)), wide("WAITFORCONNECTION"));
    server->printerLinkDown(1, wendaroMachine_t::link_e::notConnected_e);
    EXPECT_NE(find(*client->exchange(cmnd(1)), wide("DEVICENOTCONNECTED")), std::string::npos);
    server->printerLinkUp(1);
    const auto back = client->exchange(cmnd(1));
    EXPECT_TRUE(startsWith(*back, wide("HASREOPENEDRESP")));
    EXPECT_NE(find(*back, wide("RESP")), std::string::npos);
}

TEST_F(wendaroServerThreadsTest, startsAgainAfterStopAndRefusesATakenPort)
{
    startServer();
    const int port = server->port();
    server->stop();
    server->stop();
    EXPECT_EQ(server->port(), 0);
    ASSERT_TRUE(server->start());
    auto client = connected();
    EXPECT_NE(find(*client->exchange(cmnd(1)), wide("RESP")), std::string::npos);

    wendaroConfig_t config = testConfig();
    config.port = server->port();
    wendaroServer_t second(config);
    std::wstring error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find(L"taken"), std::wstring::npos);
    (void)port;
}
