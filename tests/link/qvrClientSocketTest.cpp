// The machines-server protocol without a connection: server messages spelled
// byte by byte are parsed against a client device that is never started;
// the request builders are checked against literal bytes.
#include "link/qvrClientDev.h"
#include "link/qvrClientSocket.h"
#include "link/socketRequestStream.h"
#include "machine/machineParam.h"
#include "tests/link/clientTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace clientTest;

namespace {

class qvrClientSocketTest : public prefixTest {
protected:
    queueWindow_t window;
    sharedLock_t lock;
    qvrClientDev_t device{window.handle(), lock};
    qvrClientSocket_t socket{true, device.getLock()};

    int parse(const bytes_t& message)
    {
        return socket.parseBytes(socketBytes_t(message.data(), message.size()), device);
    }
    std::vector<bytes_t> queued()
    {
        lockGuard_t guard(device.getLock());
        std::vector<bytes_t> out;
        for (const packetBuffer_t& p : device.getQueue().packets())
            out.emplace_back(p.data(), p.data() + p.length());
        return out;
    }
    bytes_t replyBytes() const { return bytes_t(socket.reply().data(), socket.reply().data() + socket.reply().length()); }
};

std::vector<WPARAM> codeList(std::initializer_list<WPARAM> codes)
{
    return std::vector<WPARAM>(codes);
}

bytes_t errorHistoryObject(uint32_t code, const std::string& description)
{
    // value1, value3, layerNumber, messageCode, value2, text3, text4, text5, description, text2
    return newClass("errorHistory_t") + u32(5) + u32(7) + u32(120) + u32(code) + u32(0) + wide("d") + wide("t") +
           wide("u") + wide(description) + wide("m");
}

bytes_t fileInfoObject(bool present)
{
    return newClass("fileInfo_t") + u32(1) + u32(2) + u32(3) + u32(4) + u32(5) + u32(present ? 1 : 0);
}

bytes_t modelInfoObject(const std::string& name)
{
    bytes_t out = newClass("qvrHostModelInfo_t");
    for (uint32_t i = 0; i < 9; ++i)
        out = out + u32(i + 100);
    return out + u16(1) + u16(2) + u16(3) + wide(name);
}

// --- request builders -----------------------------------------------------------

TEST_F(qvrClientSocketTest, RequestsAreTheLiteralBytesOfTheirWords)
{
    struct case_t {
        const char* name;
        std::function<void(qvrClientDev_t&)> queue;
        std::string hex;
    };
    const std::vector<case_t> cases = {
        {"word alone", [](qvrClientDev_t& d) { d.requestQueueInfo(); },
         "FF FE FF 09 51 00 55 00 45 00 55 00 45 00 49 00 4E 00 46 00 4F 00"},
        {"cancel without password", [](qvrClientDev_t& d) { d.cancelBuild(-1, L""); },
         "FF FE FF 0B 43 00 41 00 4E 00 43 00 45 00 4C 00 42 00 55 00 49 00 4C 00 44 00 FF FF FF FF"},
        {"cancel with password", [](qvrClientDev_t& d) { d.cancelBuild(2, L"pw"); },
         "FF FE FF 0B 43 00 41 00 4E 00 43 00 45 00 4C 00 42 00 55 00 49 00 4C 00 44 00"
         " FF FE FF 08 50 00 41 00 53 00 53 00 57 00 4F 00 52 00 44 00 FF FE FF 02 70 00 77 00 02 00 00 00"},
        {"time estimate", [](qvrClientDev_t& d) { d.requestTimeEstimate(1, -2); },
         "FF FE FF 13 53 00 4C 00 49 00 43 00 45 00 52 00 53 00 45 00 52 00 56 00 45 00 52 00 54 00 49 00 4D 00 45 00"
         " 45 00 53 00 54 00 01 00 00 00 FE FF FF FF"},
        {"pause queue", [](qvrClientDev_t& d) { d.pauseQueue(3); },
         "FF FE FF 0A 50 00 41 00 55 00 53 00 45 00 51 00 55 00 45 00 55 00 45 00 03 00 00 00"},
        {"machine name", [](qvrClientDev_t& d) { d.sendMachineName(L"Bo"); },
         "FF FE FF 0F 53 00 45 00 4E 00 44 00 4D 00 41 00 43 00 48 00 49 00 4E 00 45 00 4E 00 41 00 4D 00 45 00"
         " FF FE FF 02 42 00 6F 00"},
        {"stop slicing", [](qvrClientDev_t& d) { d.stopSlicing(); },
         "FF FE FF 0D 53 00 4C 00 49 00 43 00 45 00 46 00 49 00 4C 00 45 00 53 00 54 00 4F 00 50 00"},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        device.getQueue().clear();
        c.queue(device);
        const auto q = queued();
        ASSERT_EQ(q.size(), 1u);
        EXPECT_EQ(q[0], hexBytes(c.hex));
        lockGuard_t guard(device.getLock());
        EXPECT_EQ(device.getQueue().packets().front().kind(), packetBuffer_t::requestMessage);
    }
}

TEST_F(qvrClientSocketTest, LocalSliceFileCarriesTheRecordAsAnObject)
{
    fileSendParams_t record(L"C:/m.ZS", 2, 0, L"", 1, 1999, 0, 0, L"");
    record.setInteger(fileSendParams_t::pending_e, 0);
    packetBuffer_t buffer(qvrClientSocket_t::messageCapacity);
    ASSERT_TRUE(qvrClientSocket_t::buildLocalSliceFile(buffer, record));
    EXPECT_EQ(buffer.kind(), packetBuffer_t::requestMessage);
    const bytes_t expected = wide("LOCALSLICEFILE") + hexBytes("FF FF 01 00 10 00") + asciiBytes("fileSendParams_t") +
                             u32(1) + u32(0) + u32(0) + u32(0) + u32(0) + u32(0) + u32(0) + u32(1) + u32(0) + u32(0) +
                             u32(0) + u32(0) + u32(0) + u32(0) + u32(1999) + u32(0) + u32(0) + u32(0) + u32(2) +
                             wide("C:/m.ZS") + wide("tech") + wide("") + wide("");
    EXPECT_EQ(bytes_t(buffer.data(), buffer.data() + buffer.length()), expected);
}

TEST_F(qvrClientSocketTest, RequestsShareTheQueueWithDevicePacketsInOrder)
{
    device.sendCommand(1);
    device.requestQueueInfo();
    device.sendCommand(1);
    device.requestQueueInfo();
    // The second "QUEUEINFO" equals the one waiting behind the front.
    const auto q = queued();
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0], hexBytes("01 01"));
    EXPECT_EQ(q[1], wide("QUEUEINFO"));
    EXPECT_EQ(q[2], hexBytes("01 01"));

    // A finished request handed to the device as a packet is queued unchanged.
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    ASSERT_TRUE(qvrClientSocket_t::buildWordRequest(request, L"CLOSEMASTERPROGRAM"));
    device.onPacket(request);
    EXPECT_EQ(queued().back(), wide("CLOSEMASTERPROGRAM"));
}

// --- parsing --------------------------------------------------------------------

struct parseCase_t {
    const char* name;
    bytes_t message;
    int result;
    std::vector<WPARAM> codes;
    std::function<void(qvrClientDev_t&, qvrClientSocket_t&)> check;
};

TEST_F(qvrClientSocketTest, ServerWordsActOnTheDevice)
{
    const std::string header15 = "20240101123456 ";
    const std::vector<parseCase_t> cases = {
        {"greeting accepted", greeting(12.0, 2.5), 0, codeList({131}),
         [](qvrClientDev_t& d, qvrClientSocket_t& s) {
             EXPECT_EQ(d.getServerVersion(), 2.5);
             ASSERT_EQ(d.getServerMachines().size(), 1u);
             EXPECT_EQ(d.getServerMachines()[0].machineName, L"Alpha");
             EXPECT_EQ(d.getServerMachines()[0].machineID, 7);
             EXPECT_FALSE(s.isAccepted());
         }},
        {"greeting needs a newer client", greeting(12.5, 2.0), 1, codeList({144}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_TRUE(d.getServerMachines().empty()); }},
        {"greeting from a server too old", greeting(12.0, 0.5), 1, codeList({145}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getServerVersion(), 0.0); }},
        {"wait", wide("WAITFORCONNECTION"), 2, {}, nullptr},
        {"wrong password", wide("WRONGPASSWORD"), 1, codeList({129}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_TRUE(d.getWrongPassword()); }},
        {"log file names", wide("GETLOGFILENAMES") + wide("a.log") + wide("b.log"), 1, codeList({117}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) {
             EXPECT_EQ(d.getLogFileNames(), std::make_pair(std::wstring(L"a.log"), std::wstring(L"b.log")));
         }},
        {"no log file names", wide("GETLOGFILENAMES") + wide("") + wide("b.log"), 1, {},
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getLogFileNames().second, L""); }},
        {"machine log", wide("MACHINELOGDATA") + wide(header15 + "hello"), 1, codeList({147}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getMachineLogText(), L"hello"); }},
        {"machine log header only", wide("MACHINELOGDATA") + wide("short"), 1, codeList({147}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getMachineLogText(), L""); }},
        {"empty machine log", wide("MACHINELOGDATA") + wide(""), 1, {}, nullptr},
        {"notice and reply", wide("HASNEWLOGRESP") + resp(hexBytes("02 0A 0B 0C 0D")), 1, codeList({101}),
         [](qvrClientDev_t&, qvrClientSocket_t& s) {
             EXPECT_EQ(bytes_t(s.reply().data(), s.reply().data() + s.reply().length()), hexBytes("02 0A 0B 0C 0D"));
         }},
        {"chained word out of order", wide("HASNEWLOGRESP") + wide("ERRORLOGINFO") + errorHistoryObject(31, "x"), 1,
         codeList({101}), [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getErrorHistory().value1, -1); }},
        {"every chained word in order",
         wide("ERRORLOGINFO") + errorHistoryObject(31, "Trimming") + wide("HASREOPENEDRESP") +
             wide("HASQUEUECHANGEDRESP") + u32(3) + wide("SENDMACHINENAME") + wide("Gamma") +
             wide("SENDEMBEDDEDVERSIONSTRING") + wide("E1.12.0") + wide("extra") + wide("HASNEWLOGRESP") +
             wide("HASNEWFILESENDER") + fileInfoObject(true) + wide("HASNEWMODELINFO") + modelInfoObject("Cube") +
             wide("HASNEWTIMEEST") + u32(600) + u32(90) + wide("PAUSEMACHINEUSER") + wide("bob") +
             wide("MODELHASENDED") + wide("CANCELBUILD"),
         1, codeList({138, 1, 151, 101, 133, 120, 113, 130, 148}),
         [](qvrClientDev_t& d, qvrClientSocket_t& s) {
             const errorHistory_t e = d.getErrorHistory();
             EXPECT_EQ(e.messageCode, 31);
             EXPECT_EQ(e.layerNumber, 120);
             EXPECT_EQ(e.description, L"Trimming");
             EXPECT_EQ(d.getQueueChangeCount(), 3u);
             EXPECT_EQ(d.getMachineName(), L"Gamma");
             EXPECT_EQ(d.getEmbeddedVersionText(), L"E1.12.0");
             EXPECT_EQ(d.getExtraVersionText(), L"extra");
             EXPECT_TRUE(d.getFileInfo().isPresent());
             EXPECT_EQ(d.getModelInfo().modelName(), "Cube");
             EXPECT_EQ(d.getModelInfo().values[1], 101);
             EXPECT_EQ(d.getTimeEstimate(), std::make_pair(600, 90));
             EXPECT_EQ(d.getPausingUser(), L"bob");
             EXPECT_EQ(s.reply().length(), 0);
         }},
        {"long reply", resp(bytes_t(70, 0x02)), 1, {},
         [](qvrClientDev_t&, qvrClientSocket_t& s) { EXPECT_EQ(s.reply().length(), 64); }},
        {"status reply", statusResp(statusFields_t{}), 1, {},
         [](qvrClientDev_t&, qvrClientSocket_t& s) {
             EXPECT_EQ(s.reply().length(), 61);
             EXPECT_EQ(s.reply().kind(), packetBuffer_t::devicePacket);
         }},
        {"queue list", wide("QUEUEINFO") + u32(2) + newClass("fileSendParams_t") + bytes_t(19 * 4, 0) +
                           wide("C:/a.ZS") + wide("tech") + wide("") + wide("") + hexBytes("01 80") +
                           bytes_t(19 * 4, 0) + wide("C:/b.ZS") + wide("ann") + wide("") + wide(""),
         1, codeList({128}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) {
             ASSERT_EQ(d.getQueueList().size(), 2u);
             EXPECT_EQ(d.getQueueList()[1].path, L"C:/b.ZS");
             EXPECT_EQ(d.getOwnQueueEntries(), 1);
         }},
        {"file sender", wide("FILESENDERINFO") + fileInfoObject(true), 1, codeList({133}), nullptr},
        {"no file sender either way", wide("FILESENDERINFO") + fileInfoObject(false), 1, {}, nullptr},
        {"slicer ok", wide("SLICERSERVEROK") + wide("fine"), 1, codeList({137}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getSlicerStatusText(), L"fine"); }},
        {"slicer error", wide("SLICERSERVERERROR") + wide("bad"), 1, codeList({146}), nullptr},
        {"slicer status", wide("SLICERSERVERSTATUS") + wide("busy"), 1, codeList({150}), nullptr},
        {"added file", wide("ADDEDFILEINDEX") + u32(4), 1, codeList({103}),
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getAddedFileIndex(), 4); }},
        {"removed", wide("REMOVEFROMQUEUE"), 1, codeList({136}), nullptr},
        {"device not connected", wide("DEVICENOTCONNECTED"), 1, {}, nullptr},
        {"disconnect", wide("DISCONNECT") + machineObject("h", 3, "n"), 1, codeList({135}), nullptr},
        {"disconnect of machine 0", wide("DISCONNECT") + machineObject("h", 0, "n"), 1, {}, nullptr},
        {"no permission", wide("NOPERMISSION"), 1, codeList({121}), nullptr},
        {"error", wide("ERROR"), 1, {}, nullptr},
        {"add file error", wide("ADDFILEERROR"), 1, codeList({116}), nullptr},
        {"upload finished", wide("FINISHQVRFILESEND"), 1, codeList({118}), nullptr},
        {"block asked with no upload", wide("SENDQVRFILEBLOCK"), 1, {},
         [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_TRUE(d.getQueue().isEmpty()); }},
        {"unknown word", wide("OK"), 1, {}, nullptr},
        {"chained word alone", wide("MODELHASENDED"), 1, codeList({130}), nullptr},
    };
    for (const parseCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        queueWindow_t caseWindow;
        sharedLock_t caseLock;
        qvrClientDev_t caseDevice(caseWindow.handle(), caseLock);
        qvrClientSocket_t caseSocket(true, caseDevice.getLock());
        EXPECT_EQ(caseSocket.parseBytes(socketBytes_t(c.message.data(), c.message.size()), caseDevice), c.result);
        EXPECT_EQ(codes(caseWindow), c.codes);
        if (c.check)
            c.check(caseDevice, caseSocket);
    }
}

TEST_F(qvrClientSocketTest, GreetingAnswerGrantsAccessOnceThenAnswersTheRequestInFlight)
{
    EXPECT_EQ(parse(connectAnswer(true, 5, "Beta")), qvrClientSocket_t::greetingStep_e);
    EXPECT_TRUE(socket.isAccepted());
    EXPECT_TRUE(socket.hasControlAccess());
    EXPECT_EQ(device.getMachineID(), 5u);
    EXPECT_EQ(device.getMachineName(), L"Beta");
    // The new machine's folders exist and its file information is asked for;
    // a first machine ID is no change of machine (no notification 1).
    EXPECT_EQ(codes(window), codeList({132}));
    EXPECT_EQ(queued(), std::vector<bytes_t>{wide("FILESENDERINFO")});

    EXPECT_EQ(parse(connectAnswer(false, 5, "Beta")), qvrClientSocket_t::handled_e);
    EXPECT_FALSE(socket.hasControlAccess());
    EXPECT_EQ(codes(window), codeList({132, 149}));
}

TEST_F(qvrClientSocketTest, ParameterBlockFromARemoteServerIsStoredWholeOrNotAtAll)
{
    device.setServerMachineID(5);
    const machineParam_t* xStep = findParameter(-1, L"X Step Size");
    ASSERT_NE(xStep, nullptr);
    const std::int32_t before = device.stepSizeOf(0);

    bytes_t block(4096, 0);
    const bytes_t value = u32(12345);
    std::copy(value.begin(), value.end(), block.begin() + 4 * xStep->index());
    // Cut short: never taken for the machine's memory.
    const bytes_t cut(block.begin(), block.begin() + 4000);
    EXPECT_EQ(parse(wide("SENDNVM") + cut), 1);
    EXPECT_EQ(countCode(window, 104), 0);
    EXPECT_EQ(device.stepSizeOf(0), before);

    EXPECT_EQ(parse(wide("SENDNVM") + block + wide("MODELHASENDED")), 1);
    EXPECT_EQ(countCode(window, 104), 1);
    EXPECT_EQ(countCode(window, 130), 1);
    EXPECT_EQ(device.stepSizeOf(0), 12345);
    EXPECT_TRUE(readRawFile(device.getParametersFilePath()).has_value());
}

// --- hostile input -------------------------------------------------------------

TEST_F(qvrClientSocketTest, BrokenOrHostileMessagesEndAsUnknownWords)
{
    const std::vector<parseCase_t> cases = {
        {"empty", bytes_t(), 1, {}, nullptr},
        {"word cut short", hexBytes("FF FE FF 04 52 00 45"), 1, {}, nullptr},
        {"text longer than the message", wide("SLICERSERVEROK") + hexBytes("FF FE FF FF FF FF FF FF FF 7F 41 00"), 1,
         codeList({137}), [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_EQ(d.getSlicerStatusText(), L""); }},
        {"list count larger than the message", wide("QUEUEINFO") + u32(0xFFFFFFFFu) + hexBytes("00 00"), 1,
         codeList({128}), [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_TRUE(d.getQueueList().empty()); }},
        {"greeting list count larger than the message",
         wide("BrevanquillorMachinesServer") + f64(12.0) + f64(12.0) + u32(1000000), 0, codeList({131}), [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_TRUE(d.getServerMachines().empty()); }},
        {"unknown class", wide("HASNEWFILESENDER") + newClass("evilClass_t") + bytes_t(24, 1) + wide("MODELHASENDED"),
         1, {}, [](qvrClientDev_t& d, qvrClientSocket_t&) { EXPECT_FALSE(d.getFileInfo().isPresent()); }},
        {"wrong class for the word", wide("HASNEWMODELINFO") + fileInfoObject(true), 1, {}, nullptr},
        {"reference to an object not seen", wide("DISCONNECT") + hexBytes("05 00"), 1, {}, nullptr},
        {"bad schema", wide("DISCONNECT") + hexBytes("FF FF 02 00 13 00") + asciiBytes("machineHostIDname_t") +
                           u32(3) + u32(0) + u32(0) + wide("h") + wide("n"),
         1, {}, nullptr},
        {"garbage after the greeting", greeting() + bytes_t(300, 0xEE), 0, codeList({131}), nullptr},
        {"reply without a packet", wide("RESP"), 1, {},
         [](qvrClientDev_t&, qvrClientSocket_t& s) { EXPECT_EQ(s.reply().length(), 0); }},
        {"status reply cut short", resp(hexBytes("01 07 00 00 00")), 1, {},
         [](qvrClientDev_t&, qvrClientSocket_t& s) { EXPECT_EQ(s.reply().length(), 5); }},
        {"narrow garbage", bytes_t(40, 0x41), 1, {}, nullptr},
    };
    for (const parseCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        queueWindow_t caseWindow;
        sharedLock_t caseLock;
        qvrClientDev_t caseDevice(caseWindow.handle(), caseLock);
        qvrClientSocket_t caseSocket(true, caseDevice.getLock());
        EXPECT_EQ(caseSocket.parseBytes(socketBytes_t(c.message.data(), c.message.size()), caseDevice), c.result);
        EXPECT_EQ(codes(caseWindow), c.codes);
        if (c.check)
            c.check(caseDevice, caseSocket);
    }
}

TEST_F(qvrClientSocketTest, MutatedMessagesNeverCrashOrGrowTheQueueWithoutBound)
{
    const std::vector<bytes_t> seeds = {
        greeting(),
        connectAnswer(true, 5, "Beta"),
        wide("ERRORLOGINFO") + errorHistoryObject(3, "x") + wide("HASQUEUECHANGEDRESP") + u32(1) + resp(bytes_t{2}),
        wide("QUEUEINFO") + u32(1) + newClass("fileSendParams_t") + bytes_t(19 * 4, 0) + wide("a") + wide("b") +
            wide("") + wide(""),
        statusResp(statusFields_t{}),
    };
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        bytes_t message = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !message.empty(); ++e) {
            const std::size_t at = random() % message.size();
            switch (random() % 3) {
            case 0: message[at] = static_cast<uint8_t>(random()); break;
            case 1: message.resize(at); break;
            default: message.insert(message.begin() + static_cast<long>(at), static_cast<uint8_t>(random())); break;
            }
        }
        const int result = parse(message);
        EXPECT_GE(result, 0);
        EXPECT_LE(result, 2);
        (void)qvrClientSocket_t::isCompleteMessage(socketBytes_t(message.data(), message.size()));
    }
    // Requests the server's words queue obey the duplicate rule.
    EXPECT_LE(device.getQueue().count(), 4);
}

// --- reassembly -------------------------------------------------------------------

TEST_F(qvrClientSocketTest, MessagesEndingInsideAFieldOfKnownSizeAreIncomplete)
{
    const bytes_t nvm = wide("SENDNVM") + bytes_t(4096, 0x11);
    const bytes_t status = statusResp(statusFields_t{});
    const bytes_t hello = greeting();
    const bytes_t info = fileInfoObject(true);
    struct case_t {
        const char* name;
        bytes_t bytes;
        bool complete;
    };
    const std::vector<case_t> cases = {
        {"whole greeting", greeting(), true},
        {"greeting cut in its machine list", bytes_t(hello.begin(), hello.end() - 3), false},
        {"greeting cut in a version", bytes_t(hello.begin(), hello.begin() + 60), false},
        {"word cut", hexBytes("FF FE FF 04 43 00"), false},
        {"access answer without its name", wide("QVRcontrolConnect") + u32(5), false},
        {"whole access answer", connectAnswer(true, 5, "Beta"), true},
        {"status reply", status, true},
        {"status reply cut", bytes_t(status.begin(), status.end() - 20), false},
        {"reply word without a packet", wide("RESP"), false},
        {"reply of a type without a known length", resp(bytes_t{2}), true},
        {"machine information cut", resp(bytes_t{11} + bytes_t(40, 0)), false},
        {"machine information", resp(bytes_t{11} + bytes_t(52, 0)), true},
        {"layer record cut", resp(bytes_t{9} + bytes_t(43, 0)), false},
        {"parameter chunk cut", resp(hexBytes("07 08 00 00") + bytes_t(3, 0)), false},
        {"parameter chunk", resp(hexBytes("07 08 00 00") + bytes_t(8, 0)), true},
        {"parameter chunk without its count", resp(bytes_t{7}), false},
        {"parameter block cut", bytes_t(nvm.begin(), nvm.end() - 1000), false},
        {"parameter block", nvm, true},
        {"parameter block and a reply cut", nvm + bytes_t(status.begin(), status.end() - 1), false},
        {"parameter block and a reply", nvm + status, true},
        {"object cut", wide("HASNEWFILESENDER") + bytes_t(info.begin(), info.end() - 2),
         false},
        {"queue list cut", wide("QUEUEINFO") + u32(2) + hexBytes("00 00"), false},
        {"unknown word", wide("SOMETHINGNEW") + bytes_t(3, 0), true},
        {"unknown class (more bytes cannot help)", wide("HASNEWFILESENDER") + newClass("evilClass_t"), true},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(qvrClientSocket_t::isCompleteMessage(socketBytes_t(c.bytes.data(), c.bytes.size())), c.complete);
    }
    // Every proper prefix of the greeting is incomplete.
    const bytes_t whole = greeting();
    for (std::size_t n = 1; n < whole.size(); ++n)
        EXPECT_FALSE(qvrClientSocket_t::isCompleteMessage(socketBytes_t(whole.data(), n))) << n;
}

}  // namespace
