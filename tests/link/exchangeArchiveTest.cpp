// The six exchange records as archive objects: golden bytes of a first (full
// class) and second (class reference) appearance, the shared index counter,
// back-references, lists, and hostile object headers.
#include "link/exchangeArchive.h"
#include "hexBytes.h"
#include "link/archiveException.h"
#include "link/inputStream.h"
#include "machine/globalNames.h"
#include "machine/registryUtils.h"
#include "platform/winConstants.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

namespace {

bytes_t newClass(const std::string& name) {
    return hexBytes("FF FF 01 00") + bytes_t{static_cast<uint8_t>(name.size()), 0} + asciiBytes(name);
}

bytes_t wide(const std::string& ascii) {
    return hexBytes("FF FE FF") + bytes_t{static_cast<uint8_t>(ascii.size())} + utf16Bytes(ascii);
}

const bytes_t emptyText = hexBytes("FF FE FF 00");
const bytes_t zero32 = hexBytes("00 00 00 00");

template <class T> void expectFirstAndSecond(const T& first, const T& second, const bytes_t& golden) {
    archiveWriter_t writer;
    writeObject(writer, &first);
    writeObject(writer, &second);
    EXPECT_EQ(writer.bytes(), golden);

    archiveReader_t reader(golden.data(), golden.size());
    std::unique_ptr<T> a = readObject<T>(reader);
    std::unique_ptr<T> b = readObject<T>(reader);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(*a == first);
    EXPECT_TRUE(*b == second);
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(exchangeArchive, fileSendParams) {
    const fileSendParams_t first(L"C:/m.ZS", 2, 0, L"n", 1, 1999, 0, 0, L"u");
    fileSendParams_t second;
    second.path = L"D:\\q.ZS";
    const bytes_t golden =
        newClass("fileSendParams_t") +
        // integers 1 to 19: copies, 0 x 6, 1 (second flag clear), 0 x 6,
        // last layer, extra value, flag, pending, kind
        hexBytes("01 00 00 00") + repeated(zero32, 6) + hexBytes("01 00 00 00") + repeated(zero32, 6) +
        hexBytes("CF 07 00 00") + repeated(zero32, 2) + hexBytes("01 00 00 00 02 00 00 00") +
        wide("C:/m.ZS") + wide("u") + emptyText + wide("n") +
        // the default: 1, 0 ... 0, 1999, 0, 0, 0, 2
        hexBytes("01 80 01 00 00 00") + repeated(zero32, 13) + hexBytes("CF 07 00 00") + repeated(zero32, 3) +
        hexBytes("02 00 00 00") + wide("D:\\q.ZS") + repeated(emptyText, 3);
    expectFirstAndSecond(first, second, golden);
}

TEST(exchangeArchive, fileInfo) {
    fileInfo_t first;
    first.values = {1, 2, 3, 4, 5, 1};
    const bytes_t golden =
        newClass("fileInfo_t") +
        hexBytes("01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00 01 00 00 00") +
        hexBytes("01 80") + repeated(zero32, 6);
    expectFirstAndSecond(first, fileInfo_t(), golden);
}

TEST(exchangeArchive, errorHistory) {
    errorHistory_t first;
    first.value1 = 1;
    first.value2 = 2;
    first.value3 = 3;
    first.messageCode = 4;
    first.layerNumber = 7;
    first.description = L"a";
    first.text2 = L"b";
    first.text3 = L"c";
    first.text4 = L"d";
    first.text5 = L"e";
    // value1, value3, layerNumber, messageCode, value2, text3, text4, text5,
    // description, text2; the default's value1 is -1.
    const bytes_t golden = newClass("errorHistory_t") +
                           hexBytes("01 00 00 00 03 00 00 00 07 00 00 00 04 00 00 00 02 00 00 00") +
                           wide("c") + wide("d") + wide("e") + wide("a") + wide("b") +
                           hexBytes("01 80 FF FF FF FF") + repeated(zero32, 4) + repeated(emptyText, 5);
    expectFirstAndSecond(first, errorHistory_t(), golden);
}

TEST(exchangeArchive, machineHostIDname) {
    const machineHostIDname_t first(L"localhost", 12, L"Printer", 3, 4);
    const bytes_t golden = hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                           hexBytes("0C 00 00 00 03 00 00 00 04 00 00 00") + wide("localhost") +
                           wide("Printer") + hexBytes("01 80") + repeated(zero32, 3) + repeated(emptyText, 2);
    expectFirstAndSecond(first, machineHostIDname_t(), golden);
}

TEST(exchangeArchive, textMessage) {
    textMessage_t first;
    first.user = L"bob";
    first.host = L"PC1";
    first.text = L"Hi";
    const bytes_t golden = newClass("textMessage_t") + wide("bob") + wide("PC1") + wide("Hi") +
                           hexBytes("01 80") + repeated(emptyText, 3);
    expectFirstAndSecond(first, textMessage_t(), golden);
}

TEST(exchangeArchive, qvrHostModelInfo) {
    qvrHostModelInfo_t first;
    first.values = {1, 2, 3, 4, 5, 6, 7, 8, -1};
    first.words = {0x0102, 0x0304, 0xFFFF};
    first.setModelName("Part\xB5");
    // The narrow name goes out widened: 0xB5 is U+00B5.
    const bytes_t golden = newClass("qvrHostModelInfo_t") +
                           hexBytes("01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00 "
                                    "06 00 00 00 07 00 00 00 08 00 00 00 FF FF FF FF 02 01 04 03 FF FF") +
                           hexBytes("FF FE FF 05 50 00 61 00 72 00 74 00 B5 00") + hexBytes("01 80") +
                           repeated(zero32, 9) + hexBytes("00 00 00 00 00 00") + emptyText;
    expectFirstAndSecond(first, qvrHostModelInfo_t(), golden);
}

TEST(exchangeArchive, modelNameIsCutTo17OnReading) {
    const bytes_t bytes = newClass("qvrHostModelInfo_t") + repeated(zero32, 9) +
                          hexBytes("00 00 00 00 00 00") + wide("ABCDEFGHIJKLMNOPQRST") + hexBytes("01 80") +
                          repeated(zero32, 9) + hexBytes("00 00 00 00 00 00") +
                          hexBytes("FF FE FF 02 AC 20 00 D8");
    archiveReader_t reader(bytes.data(), bytes.size());
    auto cut = readObject<qvrHostModelInfo_t>(reader);
    auto narrowed = readObject<qvrHostModelInfo_t>(reader);
    ASSERT_TRUE(cut && narrowed);
    EXPECT_EQ(cut->modelName(), "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(cut->name[17], '\0');
    // Narrowed through the code page: the euro sign is 0x80, a character
    // without a byte becomes '?'.
    EXPECT_EQ(narrowed->modelName(), "\x80?");
}

// Classes and objects share one counter per message: class 1, object 2,
// class 3, object 4, then objects 5 and 6 of the known classes. The writer
// never writes a back-reference; the reader resolves them to copies.
TEST(exchangeArchive, sharedIndexCounterAndBackReferences) {
    const machineHostIDname_t m1(L"h", 1, L"a", 0, 0), m2(L"h", 2, L"b", 0, 0);
    fileInfo_t f1, f2;
    f1.values[5] = 1;
    f2.values[0] = 9;
    const auto machineFields = [&](uint8_t id, const char* name) {
        return bytes_t{id, 0, 0, 0} + repeated(zero32, 2) + wide("h") + wide(name);
    };
    const bytes_t golden = hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                           machineFields(1, "a") + newClass("fileInfo_t") + repeated(zero32, 5) +
                           hexBytes("01 00 00 00") + hexBytes("01 80") + machineFields(2, "b") +
                           hexBytes("03 80 09 00 00 00") + repeated(zero32, 5) + hexBytes("00 00");
    archiveWriter_t writer;
    writeObject(writer, &m1);
    writeObject(writer, &f1);
    writeObject(writer, &m2);
    writeObject(writer, &f2);
    writeObject<fileInfo_t>(writer, nullptr);
    ASSERT_EQ(writer.bytes(), golden);

    // Then back-references to objects 5 (m2) and 2 (m1) and 6 (f2), and an
    // object reached through the 32-bit escape for class 1 and object 7.
    const bytes_t message = golden + hexBytes("05 00 02 00 06 00") + hexBytes("FF 7F 01 00 00 80") +
                            machineFields(3, "c") + hexBytes("FF 7F 07 00 00 00");
    archiveReader_t reader(message.data(), message.size());
    EXPECT_EQ(*readObject<machineHostIDname_t>(reader), m1);
    EXPECT_EQ(*readObject<fileInfo_t>(reader), f1);
    EXPECT_EQ(*readObject<machineHostIDname_t>(reader), m2);
    EXPECT_EQ(*readObject<fileInfo_t>(reader), f2);
    EXPECT_EQ(readObject<fileInfo_t>(reader), nullptr);
    EXPECT_EQ(*readObject<machineHostIDname_t>(reader), m2);
    EXPECT_EQ(*readObject<machineHostIDname_t>(reader), m1);
    EXPECT_EQ(*readObject<fileInfo_t>(reader), f2);
    EXPECT_EQ(readObject<machineHostIDname_t>(reader)->machineName, L"c");
    EXPECT_EQ(readObject<machineHostIDname_t>(reader)->machineName, L"c");
    EXPECT_EQ(reader.remaining(), 0u);
}

// Past 0x7FFE indices a class reference takes the 32-bit escape.
TEST(exchangeArchive, writerEscapesLargeIndices) {
    archiveWriter_t writer;
    const fileInfo_t info;
    for (int i = 0; i < 0x7FFE; ++i) // class 1, objects 2 to 0x7FFF
        writeObject(writer, &info);
    const std::size_t before = writer.bytes().size();
    const textMessage_t message;
    writeObject(writer, &message); // class 0x8000, object 0x8001
    writeObject(writer, &message); // class reference 0x8000
    const bytes_t tail(writer.bytes().begin() + static_cast<std::ptrdiff_t>(before), writer.bytes().end());
    EXPECT_EQ(tail, newClass("textMessage_t") + repeated(emptyText, 3) + hexBytes("FF 7F 00 80 00 80") +
                        repeated(emptyText, 3));

    archiveReader_t reader(writer.bytes().data(), writer.bytes().size());
    for (int i = 0; i < 0x7FFE; ++i)
        ASSERT_NE(readObject<fileInfo_t>(reader), nullptr);
    EXPECT_NE(readObject<textMessage_t>(reader), nullptr);
    EXPECT_NE(readObject<textMessage_t>(reader), nullptr);
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(exchangeArchive, listsAreACountAndObjects) {
    const std::vector<machineHostIDname_t> machines = {{L"h", 1, L"a", 0, 0}, {L"h", 2, L"b", 0, 0}};
    archiveWriter_t writer;
    writeList(writer, machines);
    const bytes_t golden = hexBytes("02 00 00 00 FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                           hexBytes("01 00 00 00") + repeated(zero32, 2) + wide("h") + wide("a") +
                           hexBytes("01 80 02 00 00 00") + repeated(zero32, 2) + wide("h") + wide("b");
    EXPECT_EQ(writer.bytes(), golden);

    // A missing object (tag 0) is skipped.
    const bytes_t withGap = hexBytes("03 00 00 00 FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                            hexBytes("01 00 00 00") + repeated(zero32, 2) + wide("h") + wide("a") +
                            hexBytes("00 00 01 80 02 00 00 00") + repeated(zero32, 2) + wide("h") + wide("b");
    std::vector<machineHostIDname_t> read = {machineHostIDname_t()};
    inputStream_t in(withGap.data(), static_cast<int32_t>(withGap.size()));
    in >> read;
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(read, machines);
}

// A bare file name in a request means a file in the shared folder.
class exchangeArchiveTest : public prefixTest {};

TEST_F(exchangeArchiveTest, bareRequestPathIsReadIntoTheSharedFolder) {
    const struct {
        const wchar_t* written;
        const wchar_t* read;
    } cases[] = {
        {L"model.ZS", L"C:/QVR_Printers/QVR_SHARE/model.ZS"},
        {L"sub/model.ZS", L"sub/model.ZS"},
        {L"C:\\models\\model.ZS", L"C:\\models\\model.ZS"},
        {L"", L"C:/QVR_Printers/QVR_SHARE/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.written)));
        fileSendParams_t request;
        request.path = c.written;
        archiveWriter_t writer;
        writeObject(writer, &request);
        archiveReader_t reader(writer.bytes().data(), writer.bytes().size());
        EXPECT_EQ(readObject<fileSendParams_t>(reader)->path, c.read);
    }

    ASSERT_TRUE(regWriteString(qvrCommRegistryKey, baseDirectoryValueName, L"D:/Data", HKEY_CURRENT_USER));
    fileSendParams_t request;
    request.path = L"model.ZS";
    archiveWriter_t writer;
    writeObject(writer, &request);
    archiveReader_t reader(writer.bytes().data(), writer.bytes().size());
    EXPECT_EQ(readObject<fileSendParams_t>(reader)->path, L"D:/Data/QVR_SHARE/model.ZS");
}

// Object headers and records that must fail the stream, each with its cause;
// the target keeps its value.
TEST(exchangeArchive, hostileObjectsFailTheStream) {
    const bytes_t machine = hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                            repeated(zero32, 3) + repeated(emptyText, 2);
    const struct {
        const char* label;
        bytes_t bytes;
        archiveCause_e cause;
    } cases[] = {
        {"unknown class name", newClass("bogus_t") + repeated(zero32, 3), archiveCause_e::badClass_e},
        {"another record's class", newClass("fileInfo_t") + repeated(zero32, 6), archiveCause_e::badClass_e},
        {"class name of 0xFFFF bytes", hexBytes("FF FF 01 00 FF FF 41 41"), archiveCause_e::badClass_e},
        {"class name past the end", hexBytes("FF FF 01 00 28 00 6D 61"), archiveCause_e::endOfFile_e},
        {"schema 2",
         hexBytes("FF FF 02 00 13 00") + asciiBytes("machineHostIDname_t") + repeated(zero32, 3) +
             repeated(emptyText, 2),
         archiveCause_e::badSchema_e},
        {"schema 0",
         hexBytes("FF FF 00 00 13 00") + asciiBytes("machineHostIDname_t") + repeated(zero32, 3) +
             repeated(emptyText, 2),
         archiveCause_e::badSchema_e},
        {"object reference before any object", hexBytes("02 00"), archiveCause_e::badIndex_e},
        {"object reference past the last", machine + hexBytes("03 00"), archiveCause_e::badIndex_e},
        {"object reference to a class", machine + hexBytes("01 00"), archiveCause_e::badIndex_e},
        {"class reference to an object", machine + hexBytes("02 80") + repeated(zero32, 3),
         archiveCause_e::badIndex_e},
        {"class reference past the last", machine + hexBytes("05 80"), archiveCause_e::badIndex_e},
        {"class reference 0", hexBytes("00 80"), archiveCause_e::badIndex_e},
        {"escaped object reference far out", machine + hexBytes("FF 7F FF FF FF 7F"),
         archiveCause_e::badIndex_e},
        {"escaped class reference far out", machine + hexBytes("FF 7F FF FF FF FF"),
         archiveCause_e::badIndex_e},
        {"record cut short",
         hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") + hexBytes("01 00 00 00 02"),
         archiveCause_e::endOfFile_e},
        {"tag cut short", hexBytes("FF"), archiveCause_e::endOfFile_e},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const bytes_t message = wide("DISCONNECT") + c.bytes;
        inputStream_t in(message.data(), static_cast<int32_t>(message.size()));
        EXPECT_EQ(in.readString(), L"DISCONNECT");
        std::unique_ptr<machineHostIDname_t> first, kept = std::make_unique<machineHostIDname_t>();
        const machineHostIDname_t* const sentinel = kept.get();
        if (c.bytes.size() > machine.size() && std::equal(machine.begin(), machine.end(), c.bytes.begin()))
            in >> first;
        in >> kept;
        EXPECT_TRUE(in.failed());
        EXPECT_EQ(in.failureCause(), c.cause) << archiveCauseText(in.failureCause());
        EXPECT_EQ(kept.get(), sentinel);
    }
}

// A reference to an object of another class than the one asked for.
TEST(exchangeArchive, referenceToAnotherClassFails) {
    const bytes_t message = hexBytes("FF FF 01 00 13 00") + asciiBytes("machineHostIDname_t") +
                            repeated(zero32, 3) + repeated(emptyText, 2) + hexBytes("02 00");
    inputStream_t in(message.data(), static_cast<int32_t>(message.size()));
    std::unique_ptr<machineHostIDname_t> machine;
    std::unique_ptr<fileInfo_t> info;
    in >> machine >> info;
    EXPECT_NE(machine, nullptr);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(in.failureCause(), archiveCause_e::badClass_e);
}

} // namespace
