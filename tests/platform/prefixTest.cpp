#include "platform/identity.h"
#include "platform/paths.h"
#include "platform/prefix.h"
#include "platform/registry.h"
#include "tests/support/tempPrefix.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using PrefixTest = prefixTest;

TEST_F(PrefixTest, createdWithDefaultsAndExportedToChildren) {
    const std::string root = prefix_.root();
    EXPECT_EQ(prefixRoot(), root);
    EXPECT_EQ(std::getenv("QVR_PREFIX"), root);
    for (const char* folder : {"drive_c", "registry", "objects", "drive_c/Windows/system32"})
        EXPECT_TRUE(fs::is_directory(root + "/" + folder)) << folder;
    struct row_t {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    };
    const row_t defaults[] = {
        {L"drives", L"C", L"drive_c"},          {L"DRIVES", L"z", L"/"},
        {L"folders", L"windows", L"C:\\Windows"}, {L"folders", L"system", L"C:\\Windows\\system32"},
        {L"formats", L"shortdate", L"M/d/yyyy"}, {L"formats", L"Time", L"h:mm tt"},
        {L"identity", L"user", L"tech"},         {L"identity", L"computer", L"QVRTEST"},
    };
    for (const auto& d : defaults) EXPECT_EQ(configValue(d.section, d.key, L"?"), d.value) << fs::path(d.key).string();
    EXPECT_EQ(configValue(L"printer", L"pdffolder", L"none"), L"C:\\Printed");
    EXPECT_EQ(configValue(L"printer", L"name", L"none"), L"none");
}

TEST_F(PrefixTest, configEditsKeepTheRestOfTheFile) {
    const std::string before = readRawFile(L"Z:" + fs::path(prefix_.root()).wstring() + L"/platform.conf").value_or("");
    ASSERT_TRUE(setConfigValue(L"FORMATS", L"shortdate", L"dd.MM.yyyy"));
    ASSERT_TRUE(setConfigValue(L"printer", L"pdffolder", L"C:\\pdf"));
    ASSERT_TRUE(setConfigValue(L"extra", L"key", L"value"));
    EXPECT_EQ(configValue(L"formats", L"SHORTDATE", L""), L"dd.MM.yyyy");
    EXPECT_EQ(configValue(L"formats", L"time", L""), L"h:mm tt");
    EXPECT_EQ(configValue(L"printer", L"pdffolder", L""), L"C:\\pdf");
    EXPECT_EQ(configValue(L"extra", L"key", L""), L"value");
    const std::string after = readRawFile(L"Z:" + fs::path(prefix_.root()).wstring() + L"/platform.conf").value_or("");
    EXPECT_NE(after.find("; The Windows world of this prefix."), std::string::npos);
    EXPECT_NE(after.find("shortdate=dd.MM.yyyy\ntime=h:mm tt\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("shortdate=M/d/yyyy"), std::string::npos);
    EXPECT_GT(after.size(), before.size());
}

TEST_F(PrefixTest, switchingPrefixesDropsEveryCache) {
    const std::wstring key = L"SOFTWARE\\Brevanquillor\\qvrComm";
    ASSERT_EQ(registrySetValue(HKEY_CURRENT_USER, key, L"BaseDirectory", registryValue_t{REG_SZ, registryTextData(L"first")}), 0u);
    ASSERT_TRUE(setConfigValue(L"drives", L"D", L"/usr"));
    {
        tempPrefix_t second;
        registryValue_t v;
        EXPECT_EQ(registryQueryValue(HKEY_CURRENT_USER, key, L"BaseDirectory", v), ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(resolvePath(L"D:\\bin"));
        EXPECT_EQ(userName(), L"tech");
    }
    usePrefix(prefix_.root());
    registryValue_t v;
    ASSERT_EQ(registryQueryValue(HKEY_CURRENT_USER, key, L"BaseDirectory", v), 0u);
    EXPECT_EQ(registryDataText(v.data), L"first");
    EXPECT_EQ(resolvePath(L"D:\\bin").value_or(""), "/usr/bin");
}

TEST_F(PrefixTest, identityAndLocaleTextsComeFromTheConfiguration) {
    EXPECT_EQ(userName(), L"tech");
    EXPECT_EQ(computerName(), L"QVRTEST");
    ASSERT_TRUE(setConfigValue(L"identity", L"computer", L"a-very-long-computer-name"));
    EXPECT_EQ(computerName(), L"A-VERY-LONG-COM");

    std::tm t{};
    ASSERT_TRUE(localTime(1796760305, t));  // 8 December 2026, 20:05:05 UTC
    EXPECT_EQ(formatShortDate(t), L"12/8/2026");
    EXPECT_EQ(formatTimeNoSeconds(t), L"8:05 PM");
    struct row_t {
        const wchar_t* pattern;
        const wchar_t* text;
    };
    const row_t rows[] = {
        {L"dd/MM/yy", L"08/12/26"},      {L"d MMM yyyy", L"8 Dec 2026"}, {L"dddd, MMMM d", L"Tuesday, December 8"},
        {L"HH:mm:ss", L"20:05:05"},      {L"hh:mm t", L"08:05 P"},       {L"'at' h 'o''clock'", L"at 8 o'clock"},
        {L"yyyy-MM-dd", L"2026-12-08"},
    };
    for (const auto& r : rows) EXPECT_EQ(formatWithPattern(t, r.pattern), r.text) << fs::path(r.pattern).string();
    std::tm midnight = t;
    midnight.tm_hour = 0;
    EXPECT_EQ(formatTimeNoSeconds(midnight), L"12:05 AM");
}

}  // namespace
