#include "platform/codePage.h"
#include "platform/prefix.h"
#include "platform/registry.h"
#include "platform/registryHive.h"
#include "tests/support/childProcess.h"
#include "tests/support/tempPrefix.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::wstring kComm = L"SOFTWARE\\Brevanquillor\\qvrComm";
const std::wstring kOndrel = L"SOFTWARE\\Brevanquillor\\Ondrel";

std::wstring readText(HKEY root, const std::wstring& key, const std::wstring& name) {
    registryValue_t v;
    if (registryQueryValue(root, key, name, v) != ERROR_SUCCESS) return L"<missing>";
    return registryDataText(v.data);
}

DWORD writeText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    return registrySetValue(root, key, name, registryValue_t{REG_SZ, registryTextData(text)});
}

using RegistryTest = prefixTest;

TEST_F(RegistryTest, valuesAreStoredAsTextAndNamesIgnoreCase) {
    registryValue_t v;
    EXPECT_EQ(registryOpenKey(HKEY_CURRENT_USER, kComm), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registryQueryValue(HKEY_CURRENT_USER, kComm, L"BaseDirectory", v), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(writeText(HKEY_CURRENT_USER, kComm, L"BaseDirectory", L"D:/Data"), ERROR_SUCCESS);
    EXPECT_EQ(writeText(HKEY_CURRENT_USER, L"software\\BREVANQUILLOR\\Ondrel", L"To Close Master Program?", L"1"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_CURRENT_USER, L"Software\\brevanquillor\\QVRCOMM", L"basedirectory"), L"D:/Data");
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, kComm, L"BaseDirectory"), L"<missing>");  // the other hive
    EXPECT_EQ(registryOpenKey(HKEY_CURRENT_USER, L"SOFTWARE\\Brevanquillor"), ERROR_SUCCESS);  // parents exist

    // Stored bytes: REG_SZ as UTF-16LE with its terminator; on disk as text,
    // the names in the case first written.
    ASSERT_EQ(registryQueryValue(HKEY_CURRENT_USER, kOndrel, L"TO CLOSE MASTER PROGRAM?", v), ERROR_SUCCESS);
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(v.data, (std::vector<unsigned char>{'1', 0, 0, 0}));
    const std::string file = readRawFile(L"Z:" + fs::path(prefix_.root()).wstring() + L"/registry/HKCU.reg").value_or("");
    EXPECT_NE(file.find("[SOFTWARE\\Brevanquillor\\qvrComm]\n\"BaseDirectory\"=\"D:/Data\"\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\"To Close Master Program?\"=\"1\""), std::string::npos) << file;

    // Rewriting under another case keeps the first spelling.
    EXPECT_EQ(writeText(HKEY_CURRENT_USER, kComm, L"BASEDIRECTORY", L"C:\\x \"q\""), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"BaseDirectory"), L"C:\\x \"q\"");
    const std::string again = readRawFile(L"Z:" + fs::path(prefix_.root()).wstring() + L"/registry/HKCU.reg").value_or("");
    EXPECT_NE(again.find("\"BaseDirectory\"=\"C:\\\\x \\\"q\\\"\""), std::string::npos) << again;

    EXPECT_EQ(registryDeleteValue(HKEY_CURRENT_USER, kComm, L"basedirectory"), ERROR_SUCCESS);
    EXPECT_EQ(registryDeleteValue(HKEY_CURRENT_USER, kComm, L"BaseDirectory"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registryDeleteValue(HKEY_CURRENT_USER, L"SOFTWARE\\Nobody", L"x"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registryDeleteKey(HKEY_CURRENT_USER, L"SOFTWARE\\BREVANQUILLOR"), ERROR_SUCCESS);
    EXPECT_EQ(registryOpenKey(HKEY_CURRENT_USER, kOndrel), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, otherTypesAndTheClassesRoot) {
    const registryValue_t dword{REG_DWORD, {1, 2, 3, 4}};
    const registryValue_t binary{REG_BINARY, {0, 0xFF, 0x10}};
    const registryValue_t oddText{REG_SZ, {'a', 0, 'b'}};  // no terminator: kept as bytes
    EXPECT_EQ(registrySetValue(HKEY_LOCAL_MACHINE, kOndrel, L"d", dword), ERROR_SUCCESS);
    EXPECT_EQ(registrySetValue(HKEY_LOCAL_MACHINE, kOndrel, L"b", binary), ERROR_SUCCESS);
    EXPECT_EQ(registrySetValue(HKEY_LOCAL_MACHINE, kOndrel, L"o", oddText), ERROR_SUCCESS);
    EXPECT_EQ(registrySetValue(HKEY_CLASSES_ROOT, L"CLSID\\{X}\\InprocServer32", L"", registryValue_t{REG_SZ, registryTextData(L"help.ocx")}),
              ERROR_SUCCESS);
    forgetPrefix();  // drop every cache: read the file afresh
    usePrefix(prefix_.root());
    registryValue_t v;
    for (const auto& [name, expected] : {std::pair{L"D", dword}, std::pair{L"B", binary}, std::pair{L"O", oddText}}) {
        ASSERT_EQ(registryQueryValue(HKEY_LOCAL_MACHINE, kOndrel, name, v), ERROR_SUCCESS);
        EXPECT_EQ(v.type, expected.type);
        EXPECT_EQ(v.data, expected.data);
    }
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\clsid\\{X}\\InprocServer32", L""), L"help.ocx");
}

TEST_F(RegistryTest, malformedFileReadsAsMissingValuesAndIsKeptBesideOnce) {
    const std::wstring hive = L"Z:" + fs::path(prefix_.root()).wstring() + L"/registry/HKCU.reg";
    const std::string broken =
        "[SOFTWARE\\Brevanquillor\\qvrComm]\n"
        "\"BaseDirectory\"=\"D:/Data\"\n"
        "\"SU\"=\"unterminated\n"
        "garbage line\n"
        "\"Count\"=dword:xyz\n"
        "[SOFTWARE\\Brevanquillor\\Ondrel\n"
        "\"Orphan\"=\"lost\"\n";
    ASSERT_TRUE(writeRawFile(hive, broken));
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"BaseDirectory"), L"D:/Data");
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"SU"), L"<missing>");
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"Count"), L"<missing>");
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"Orphan"), L"<missing>");
    EXPECT_FALSE(readRawFile(hive + L".bad"));  // reading alone changes nothing

    EXPECT_EQ(writeText(HKEY_CURRENT_USER, kComm, L"New", L"v"), ERROR_SUCCESS);
    EXPECT_EQ(readRawFile(hive + L".bad").value_or(""), broken);
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"BaseDirectory"), L"D:/Data");
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"New"), L"v");
    registryHive_t clean;
    EXPECT_EQ(clean.parse(readRawFile(hive).value_or("")), 0u);

    // The next rewrite has nothing unreadable to keep: the copy stays the original.
    EXPECT_EQ(writeText(HKEY_CURRENT_USER, kComm, L"New", L"w"), ERROR_SUCCESS);
    EXPECT_EQ(readRawFile(hive + L".bad").value_or(""), broken);
}

TEST_F(RegistryTest, anEditOfTheFileIsSeenByTheNextRead) {
    EXPECT_EQ(writeText(HKEY_LOCAL_MACHINE, kOndrel, L"directory", L"C:\\Program Files\\Corvanta\\Ondrel"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, kOndrel, L"directory"), L"C:\\Program Files\\Corvanta\\Ondrel");
    // Rewritten in place (same inode) by someone else.
    const std::string path = prefix_.root() + "/registry/HKLM.reg";
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("[SOFTWARE\\Brevanquillor\\Ondrel]\n\"directory\"=\"E:\\\\elsewhere\"\n", f);
        std::fclose(f);
    }
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, kOndrel, L"directory"), L"E:\\elsewhere");
}

QVR_CHILD_HELPER(registryChildWrite) {
    // args: value name, text
    return writeText(HKEY_CURRENT_USER, kOndrel, utf8ToWide(args.at(0)), utf8ToWide(args.at(1))) == ERROR_SUCCESS ? 0 : 1;
}

QVR_CHILD_HELPER(registryChildExpect) {
    return readText(HKEY_CURRENT_USER, kOndrel, utf8ToWide(args.at(0))) == utf8ToWide(args.at(1)) ? 0 : 1;
}

QVR_CHILD_HELPER(registryChildMany) {
    int failures = 0;
    for (int k = 0; k < 40; ++k)
        failures += writeText(HKEY_CURRENT_USER, kComm, L"child" + std::to_wstring(k), L"c") != ERROR_SUCCESS;
    return failures;
}

TEST_F(RegistryTest, anotherProcessSeesWritesAndNoWriteIsLost) {
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kOndrel, L"To Close Master Program?"), L"<missing>");  // cached now
    {
        childProcess_t child;
        ASSERT_TRUE(child.start("registryChildWrite", {"To Close Master Program?", "1"}));
        ASSERT_EQ(child.wait(), 0);
    }
    EXPECT_EQ(readText(HKEY_CURRENT_USER, kOndrel, L"to close master program?"), L"1");
    EXPECT_EQ(writeText(HKEY_CURRENT_USER, kOndrel, L"To Close Master Program?", L"0"), ERROR_SUCCESS);
    {
        childProcess_t child;
        ASSERT_TRUE(child.start("registryChildExpect", {"To Close Master Program?", "0"}));
        EXPECT_EQ(child.wait(), 0);
    }
    // Both processes write at once: every value of both arrives.
    childProcess_t child;
    ASSERT_TRUE(child.start("registryChildMany"));
    for (int k = 0; k < 40; ++k) EXPECT_EQ(writeText(HKEY_CURRENT_USER, kComm, L"parent" + std::to_wstring(k), L"p"), ERROR_SUCCESS);
    ASSERT_EQ(child.wait(), 0);
    for (int k = 0; k < 40; ++k) {
        EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"parent" + std::to_wstring(k)), L"p");
        EXPECT_EQ(readText(HKEY_CURRENT_USER, kComm, L"child" + std::to_wstring(k)), L"c");
    }
}

TEST(RegistryHive, tolerantParseCountsUnreadableLines) {
    struct row_t {
        const char* text;
        std::size_t unreadable;
        std::size_t keys;
    };
    const row_t rows[] = {
        {"", 0, 0},
        {"; comment\n\n[A\\B]\n\"v\"=\"x\"\n", 0, 2},
        {"\xEF\xBB\xBF[A]\r\n@=\"default\"\r\n", 0, 1},
        {"\"v\"=\"before any key\"\n[A]\n", 1, 1},
        {"[A]\n\"v\"=\"x\" trailing\n\"w\"=dword:123456789\n\"h\"=hex:1,2,,3\n\"t\"=hex(zz):00\n", 4, 1},
        {"[]\n[\\\\]\n[A\n", 3, 0},
        {"[A]\n\"ok\"=hex(7):41,00,00,00\n\"d\"=DWORD:ff\n\"e\"=hex:\n", 0, 1},
    };
    for (const auto& r : rows) {
        registryHive_t hive;
        EXPECT_EQ(hive.parse(r.text), r.unreadable) << r.text;
        EXPECT_EQ(hive.keys().size(), r.keys) << r.text;
        registryHive_t again;
        EXPECT_EQ(again.parse(hive.text()), 0u) << r.text;
        EXPECT_TRUE(again.sameContent(hive)) << r.text;
    }
}

TEST(RegistryHive, keyLinesReadAndWrittenWithTheirParents) {
    struct row_t {
        const char* file;
        std::size_t unreadable;
        const char* written;  // after the header line
    };
    const row_t rows[] = {
        {"[A\\]\n[A\\\\B\\]\n\"v\"=\"1\"\n", 0, "\n[A]\n\n[A\\B]\n\"v\"=\"1\"\n"},
        {"[Ab]\n[Ab\\c\\\\d]\n[]\n[Ab\\e]\n", 1, "\n[Ab]\n\n[Ab\\c]\n\n[Ab\\c\\d]\n\n[Ab\\e]\n"},
        // A parent first written in another case keeps it; its child its own.
        {"[a]\n[A\\B]\n[a\\b\\c]\n", 0, "\n[a]\n\n[A\\B]\n\n[a\\b\\c]\n"},
        {"[\xC3\xA9]\n[\xC3\xA9\\\xC3\xBC]\n[\xC3\x89\\\xC3\x9C\\x]\n", 0,
         "\n[\xC3\xA9]\n\n[\xC3\xA9\\\xC3\xBC]\n\n[\xC3\x89\\\xC3\x9C\\x]\n"},
        // Keys that sort between a key and the parent it lacks.
        {"[A\\B!]\n[A\\B\\C]\n[A\\B \\x]\n", 0, "\n[A]\n\n[A\\B]\n\n[A\\B ]\n\n[A\\B \\x]\n\n[A\\B!]\n\n[A\\B\\C]\n"},
        // The same bytes again below an unreadable key line are a key of their own.
        {"[K]\n[K\n[K\\L]\n\"v\"=dword:1\n", 1, "\n[K]\n\n[K\\L]\n\"v\"=dword:00000001\n"},
    };
    for (const auto& r : rows) {
        registryHive_t hive;
        EXPECT_EQ(hive.parse(r.file), r.unreadable) << r.file;
        EXPECT_EQ(hive.text(), std::string("; QVR registry hive (UTF-8)\n") + r.written) << r.file;
    }
}

TEST(RegistryHive, textValuesWrittenQuotedOrAsBytes) {
    // The value's units straddle the first word of four units at every place.
    auto units = [](std::initializer_list<unsigned> list) {
        std::vector<unsigned char> data;
        for (unsigned u : list) {
            data.push_back(static_cast<unsigned char>(u & 0xFF));
            data.push_back(static_cast<unsigned char>(u >> 8));
        }
        return data;
    };
    struct row_t {
        std::vector<unsigned char> data;
        const char* written;
    };
    const row_t rows[] = {
        {registryTextData(L"abcdefgh"), "\"abcdefgh\""},
        {registryTextData(L"abc\"efgh"), "\"abc\\\"efgh\""},
        {registryTextData(L"abcdefg\\"), "\"abcdefg\\\\\""},
        {registryTextData(L" ~abcdef"), "\" ~abcdef\""},
        {registryTextData(L"abcd\u00E9fgh\u20AC"), "\"abcd\xC3\xA9" "fgh\xE2\x82\xAC\""},
        {registryTextData(L"abcd\U0001F600"), "\"abcd\xF0\x9F\x98\x80\""},
        {registryTextData(L"abc\x7F"), "hex(1):61,00,62,00,63,00,7f,00,00,00"},
        {registryTextData(L"abcdefg\x1F"), "hex(1):61,00,62,00,63,00,64,00,65,00,66,00,67,00,1f,00,00,00"},
        {units({'a', 'b', 0xD83D, 0}), "hex(1):61,00,62,00,3d,d8,00,00"},                // half a pair at the end
        {units({'a', 0xDE00, 0xD83D, 'b', 0}), "hex(1):61,00,00,de,3d,d8,62,00,00,00"},  // halves in the wrong order
        {units({'a', 'b', 'c', 'd', 0, 'e', 0}), "hex(1):61,00,62,00,63,00,64,00,00,00,65,00,00,00"},
        {units({'a', 'b'}), "hex(1):61,00,62,00"},  // no terminating zero
        {units({0}), "\"\""},
    };
    for (const auto& r : rows) {
        registryHive_t hive;
        hive.setValue(L"K", L"v", registryValue_t{REG_SZ, r.data});
        EXPECT_EQ(hive.text(), std::string("; QVR registry hive (UTF-8)\n\n[K]\n\"v\"=") + r.written + "\n") << r.written;
        registryHive_t again;
        EXPECT_EQ(again.parse(hive.text()), 0u) << r.written;
        EXPECT_TRUE(again.sameContent(hive)) << r.written;
    }
}

TEST(RegistryHive, textDataIsUtf16WithItsTerminator) {
    struct row_t {
        std::wstring text;
        std::vector<unsigned char> data;
    };
    const row_t rows[] = {
        {L"", {0, 0}},
        {L"abc", {'a', 0, 'b', 0, 'c', 0, 0, 0}},
        {L"a\u20AC", {'a', 0, 0xAC, 0x20, 0, 0}},
        {L"ab\U0001F600c", {'a', 0, 'b', 0, 0x3D, 0xD8, 0x00, 0xDE, 'c', 0, 0, 0}},
        {std::wstring(L"abc") + wchar_t(0x110000), {'a', 0, 'b', 0, 'c', 0, 0xFD, 0xFF, 0, 0}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(registryTextData(r.text), r.data);
        EXPECT_EQ(registryDataText(r.data), r.text.find(wchar_t(0x110000)) == std::wstring::npos ? r.text : L"abc\uFFFD");
    }
}

}  // namespace
