// The stand-in server's reading of client messages (whole, cut short,
// malformed), the bytes of its notices in the client's order, and the
// program's command line.
#include "standins/wendaro/wendaroMessage.h"
#include "standins/wendaro/wendaroNotice.h"
#include "standins/wendaro/wendaroNoticeSet.h"
#include "standins/wendaro/wendaroOptions.h"
#include "standins/wendaro/wendaroRequest.h"
#include "tests/wendaro/wendaroTestSupport.h"

#include <gtest/gtest.h>

using namespace wendaroTest;
using parse_e = wendaroRequest_t::parse_e;

namespace {

wendaroRequest_t readBytes(const bytes_t& bytes, std::optional<std::uint32_t> upload = std::nullopt)
{
    return wendaroRequest_t::read(bytes.data(), bytes.size(), upload);
}

bytes_t passwordPart(const std::string& password) { return wide("PASSWORD") + wide(password); }

}  // namespace

TEST(wendaroRequestTest, tellsWholeMessagesFromPiecesAndGarbage)
{
    const bytes_t record = bytes_t{0xFF, 0xFF, 0x01, 0x00, 0x0D, 0x00} +
                           bytes_t{'t', 'e', 'x', 't', 'M', 'e', 's', 's', 'a', 'g', 'e', '_', 't'} + wide("u") +
                           wide("h") + wide("hello");
    struct case_t {
        const char* name;
        bytes_t bytes;
        parse_e expected;
    };
    const std::vector<case_t> cases = {
        {"status poll", cmnd(1), parse_e::complete_e},
        {"command with payload", cmnd(130, {2}), parse_e::complete_e},
        {"packet cut short", wide("CMND") + bytes_t{3, 129, 2}, parse_e::incomplete_e},
        {"packet longer than its length", wide("CMND") + bytes_t{1, 1, 0, 0}, parse_e::malformed_e},
        {"word alone cut short", bytes_t{0xFF, 0xFE, 0xFF, 0x04, 'C', 0, 'M'}, parse_e::incomplete_e},
        {"connect answer", connectWord(true, 3), parse_e::complete_e},
        {"connect answer without its double", wide("QVRcontrolConnect") + u32(3) + wide("tech"),
         parse_e::incomplete_e},
        {"cancel without password", wide("CANCELBUILD") + u32(0), parse_e::complete_e},
        {"cancel with password", wide("CANCELBUILD") + passwordPart("pw") + u32(0xFFFFFFFF), parse_e::complete_e},
        {"password part cut inside its mark", wide("CANCELBUILD") + bytes_t{0xFF, 0xFE, 0xFF, 0x08, 'P', 0},
         parse_e::incomplete_e},
        {"clear queue with password only", wide("CLEARQUEUE") + passwordPart("pw"), parse_e::complete_e},
        {"unknown word", wide("SOMETHINGELSE") + u32(5), parse_e::complete_e},
        {"text message", wide("TEXTMESSAGE") + record, parse_e::complete_e},
        {"text message cut inside the record", wide("TEXTMESSAGE") + bytes_t(record.begin(), record.end() - 3),
         parse_e::incomplete_e},
        {"record of another class", wide("TEXTMESSAGE") + bytes_t{0xFF, 0xFF, 0x01, 0x00, 0x03, 0x00, 'a', 'b', 'c'},
         parse_e::malformed_e},
        {"record with another schema",
         wide("TEXTMESSAGE") + bytes_t{0xFF, 0xFF, 0x02, 0x00, 0x0D, 0x00} +
             bytes_t{'t', 'e', 'x', 't', 'M', 'e', 's', 's', 'a', 'g', 'e', '_', 't'} + wide("u") + wide("h") +
             wide("x"),
         parse_e::malformed_e},
    };
    for (const case_t& c : cases) {
        const wendaroRequest_t r = readBytes(c.bytes);
        EXPECT_EQ(r.parse, c.expected) << c.name << ": " << r.problem;
    }
}

TEST(wendaroRequestTest, readsTheFieldsOfEachWord)
{
    const wendaroRequest_t poll = readBytes(cmnd(5, {0x3C, 0, 0x78, 0}));
    EXPECT_EQ(poll.commandCode(), 5);
    EXPECT_EQ(poll.raw, (bytes_t{5, 5, 0x3C, 0, 0x78, 0}));

    const wendaroRequest_t connect = readBytes(connectWord(false, 12, "anna"));
    EXPECT_EQ(connect.word, L"QVRnormalConnect");
    ASSERT_EQ(connect.numbers.size(), 1u);
    EXPECT_EQ(connect.numbers[0], 12);
    ASSERT_EQ(connect.texts.size(), 1u);
    EXPECT_EQ(connect.texts[0], L"anna");
    EXPECT_EQ(connect.version, 12.0);

    const wendaroRequest_t plain = readBytes(wide("MOVEFILEINQUEUE") + u32(2) + u32(0));
    EXPECT_FALSE(plain.password.has_value());
    EXPECT_EQ(plain.numbers, (std::vector<std::int32_t>{2, 0}));

    const wendaroRequest_t guarded = readBytes(wide("MOVEFILEINQUEUE") + passwordPart("secret") + u32(1) + u32(3));
    ASSERT_TRUE(guarded.password.has_value());
    EXPECT_EQ(*guarded.password, L"secret");
    EXPECT_EQ(guarded.numbers, (std::vector<std::int32_t>{1, 3}));

    const wendaroRequest_t dump = readBytes(wide("CREATEDUMPFILE") + wide("dump.txt") + wide("why"));
    EXPECT_EQ(dump.texts, (std::vector<std::wstring>{L"dump.txt", L"why"}));
}

TEST(wendaroRequestTest, anUploadBlockIsWholeAtItsLength)
{
    const bytes_t header = wide("SENDQVRFILEBLOCK") + u32(31743);
    const bytes_t last = header + bytes_t(257, 0xAB);
    // The file has 32000 bytes: the block at 31743 holds the last 257.
    EXPECT_EQ(readBytes(last, 32000u).parse, parse_e::complete_e);
    EXPECT_EQ(readBytes(last, 32000u).raw.size(), 257u);
    EXPECT_EQ(readBytes(header + bytes_t(100, 0xAB), 32000u).parse, parse_e::incomplete_e);
    const bytes_t first = wide("SENDQVRFILEBLOCK") + u32(0) + bytes_t(31743, 1);
    EXPECT_EQ(readBytes(first, 63487u).parse, parse_e::complete_e);
    EXPECT_EQ(readBytes(bytes_t(first.begin(), first.end() - 1), 63487u).parse, parse_e::incomplete_e);
    // The whole message is 31783 bytes: under the client's 32768.
    EXPECT_EQ(first.size(), 31783u);
}

TEST(wendaroNoticeTest, aReplyCarriesItsNoticesInTheClientsOrder)
{
    using kind = wendaroNotice_t::kind_e;
    wendaroNoticeSet_t set;
    set.add(wendaroNotice_t::of(kind::modelEnded_e));
    set.add(wendaroNotice_t::of(kind::newLog_e));
    set.add(wendaroNotice_t::numbers(kind::queueChanged_e, 4));
    set.add(wendaroNotice_t::numbers(kind::queueChanged_e, 5));  // replaces the 4
    set.add(wendaroNotice_t::text(kind::slicerOk_e, L"ok"));       // ends a message: kept apart
    const std::vector<wendaroNotice_t> chained = set.takeChained();
    ASSERT_EQ(chained.size(), 3u);
    EXPECT_FALSE(set.hasChained());
    EXPECT_TRUE(set.hasTerminal());

    wendaroMessage_t message;
    for (const wendaroNotice_t& notice : chained)
        notice.writeTo(message);
    message.word(L"RESP").writeRaw("\x02", 1);
    const bytes_t expected = wide("HASQUEUECHANGEDRESP") + u32(5) + wide("HASNEWLOGRESP") + wide("MODELHASENDED") +
                             wide("RESP") + bytes_t{2};
    EXPECT_EQ(message.bytes(), expected);
}

TEST(wendaroNoticeTest, noticesSpellTheirFields)
{
    using kind = wendaroNotice_t::kind_e;
    struct case_t {
        wendaroNotice_t notice;
        bytes_t expected;
    };
    fileInfo_t info;
    info.values = {1, 2, 3, 4, 5, 1};
    const std::vector<case_t> cases = {
        {wendaroNotice_t::numbers(kind::timeEstimate_e, 600, 90), wide("HASNEWTIMEEST") + u32(600) + u32(90)},
        {wendaroNotice_t::text(kind::embeddedVersion_e, L"E1.12.0"),
         wide("SENDEMBEDDEDVERSIONSTRING") + wide("E1.12.0") + wide("")},
        {wendaroNotice_t::file(info), wide("HASNEWFILESENDER") + bytes_t{0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00} +
                                          bytes_t{'f', 'i', 'l', 'e', 'I', 'n', 'f', 'o', '_', 't'} + u32(1) +
                                          u32(2) + u32(3) + u32(4) + u32(5) + u32(1)},
        {wendaroNotice_t::disconnect(std::nullopt), wide("DISCONNECT") + bytes_t{0, 0}},
        {wendaroNotice_t::text(kind::logFileNames_e, L"a", L"b"), wide("GETLOGFILENAMES") + wide("a") + wide("b")},
    };
    for (const case_t& c : cases) {
        wendaroMessage_t message;
        c.notice.writeTo(message);
        EXPECT_EQ(message.bytes(), c.expected) << static_cast<int>(c.notice.kind);
    }
    // The parameter memory always goes whole.
    wendaroMessage_t memory;
    wendaroNotice_t::parameters(bytes_t(10, 7)).writeTo(memory);
    EXPECT_EQ(memory.bytes().size(), wide("SENDNVM").size() + 4096);

    EXPECT_EQ(wendaroNotice_t::versionText(1120), L"E1.12.0");
    EXPECT_EQ(wendaroNotice_t::versionText(1119), L"E1.11.9");
    EXPECT_EQ(wendaroNotice_t::versionText(1032), L"E1.03.2");
}

TEST(wendaroOptionsTest, readsTheCommandLine)
{
    const wendaroOptions_t plain = wendaroOptions_t::parse({});
    EXPECT_TRUE(plain.error.empty());
    EXPECT_EQ(plain.config.port, 8722);
    ASSERT_EQ(plain.config.machines.size(), 1u);
    EXPECT_EQ(plain.config.machines[0].printer.machineID, 1u);

    const wendaroOptions_t full = wendaroOptions_t::parse(
        {"--port", "0", "--machine", "3:Alpha:1000:1119", "--machine", "12", "--time-scale", "0", "--quiet",
         "--layer-trouble", "0"});
    ASSERT_TRUE(full.error.empty()) << std::string(full.error.begin(), full.error.end());
    EXPECT_EQ(full.config.port, 0);
    ASSERT_EQ(full.config.machines.size(), 2u);
    EXPECT_EQ(full.config.machines[0].name, L"Alpha");
    EXPECT_EQ(full.config.machines[0].printer.hardwareRevision, 1000);
    EXPECT_EQ(full.config.machines[0].printer.embeddedVersion, 1119);
    EXPECT_EQ(full.config.machines[1].printer.machineID, 12u);
    EXPECT_EQ(full.config.machines[1].printer.actionMs, 0u);
    EXPECT_EQ(full.config.machines[1].printer.layerTroublePerMille, 0);
    EXPECT_TRUE(full.quiet);

    EXPECT_TRUE(wendaroOptions_t::parse({"/c"}).closeOther);
    EXPECT_TRUE(wendaroOptions_t::parse({"/C"}).closeOther);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--port"}, {"--port", "70000"}, {"--machine", "0"}, {"--machine", "x"},
          {"--machine", "1:a:b"}, {"--time-scale", "-1"}, {"--layer-trouble", "1001"}, {"--bogus"}}) {
        EXPECT_FALSE(wendaroOptions_t::parse(bad).error.empty()) << bad[0];
    }
}
