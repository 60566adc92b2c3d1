#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/paths.h"
#include "platform/prefix.h"
#include "tests/support/tempPrefix.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PathsTest : public prefixTest {
protected:
    void SetUp() override {
        c_ = prefix_.driveC();
        for (const char* f : {"QVR_Printers/12/Settings/MachineParameters.txt", "Program Files/Corvanta/Ondrel/Wendaro.exe",
                              "Program Files/Corvanta/Ondrel/cube.zs", "Program Files/Corvanta/Ondrel/target_test.txt"}) {
            ASSERT_TRUE(writeRawFile(L"C:/" + fs::path(f).wstring(), "x"));
        }
        // Two case variants of one name (the system itself would not make
        // them), and names beyond ASCII.
        fs::create_directories(c_ + "/Case");
        for (const char* f : {"abc.txt", "Abc.txt", "M\xc3\xbcller.txt", "\xc3\xa9t\xc3\xa9"})
            std::ofstream(c_ + "/Case/" + f) << "x";
        fs::create_directories(prefix_.root() + "/other/data");
        ASSERT_TRUE(setConfigValue(L"drives", L"D", L"other"));
    }
    std::string c_;
};

TEST_F(PathsTest, systemPathsMapToTheRightLinuxPaths) {
    struct row_t {
        const wchar_t* system;
        std::string linux;  // "" when the mapping fails
        DWORD error;
    };
    const std::string d = prefix_.root() + "/other";
    const row_t rows[] = {
        {L"C:/QVR_Printers/12/Settings/MachineParameters.txt", c_ + "/QVR_Printers/12/Settings/MachineParameters.txt", 0},
        {L"c:\\qvr_printers\\12\\SETTINGS\\machineparameters.TXT", c_ + "/QVR_Printers/12/Settings/MachineParameters.txt", 0},
        {L"C:\\Program Files\\Corvanta\\Ondrel/Wendaro.EXE", c_ + "/Program Files/Corvanta/Ondrel/Wendaro.exe", 0},
        {L"C:\\Program Files\\Corvanta\\Ondrel/Cube.zs", c_ + "/Program Files/Corvanta/Ondrel/cube.zs", 0},
        {L"C:/PROGRAM FILES//corvanta/Ondrel\\Target_Test.txt", c_ + "/Program Files/Corvanta/Ondrel/target_test.txt", 0},
        // Missing components keep the case given; existing ones are found.
        {L"C:\\qvr_printers\\New Folder\\Sub\\x.TXT", c_ + "/QVR_Printers/New Folder/Sub/x.TXT", 0},
        // Of two variants the first in byte order; beyond ASCII the case is
        // found as well, and an ASCII name never matches one beyond it.
        {L"C:\\CASE\\ABC.TXT", c_ + "/Case/Abc.txt", 0},
        {L"C:\\case\\M\u00dcLLER.txt", c_ + "/Case/M\xc3\xbcller.txt", 0},
        {L"C:\\case\\\u00c9T\u00c9", c_ + "/Case/\xc3\xa9t\xc3\xa9", 0},
        {L"C:\\case\\MULLER.txt", c_ + "/Case/MULLER.txt", 0},
        {L"C:\\QVR_Printers\\12\\..\\12\\.\\Settings", c_ + "/QVR_Printers/12/Settings", 0},
        {L"C:\\..\\..\\QVR_Printers", c_ + "/QVR_Printers", 0},  // never above the drive's root
        {L"C:", c_, 0},
        {L"C:\\", c_, 0},
        // A leading separator: the current drive's root (the current folder is in C:).
        {L"\\batchTrace.log", c_ + "/batchTrace.log", 0},
        {L"/QVR_Printers", c_ + "/QVR_Printers", 0},
        {L"Z:\\usr", "/usr", 0},
        {L"z:/", "/", 0},
        {L"D:\\DATA", d + "/data", 0},
        {L"qvr_printers/12", c_ + "/QVR_Printers/12", 0},  // relative to the current folder
        {L"Q:\\x", "", ERROR_PATH_NOT_FOUND},               // unmapped drive
        {L"C:\\a<b", "", ERROR_INVALID_NAME},
        {L"C:\\what?.txt", "", ERROR_INVALID_NAME},
        {L"C:\\QVR_Printers\\..\\a:b", "", ERROR_INVALID_NAME},  // a colon past the drive's
        {L"C:\\QVR_Printers\\tab\there", "", ERROR_INVALID_NAME},
        {L"\\\\server\\share", "", ERROR_BAD_PATHNAME},
        {L"", "", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& r : rows) {
        setLastError(0);
        const auto got = resolvePath(r.system);
        if (r.linux.empty()) {
            EXPECT_FALSE(got) << fs::path(r.system).string();
            EXPECT_EQ(getLastError(), r.error) << fs::path(r.system).string();
        } else {
            ASSERT_TRUE(got) << fs::path(r.system).string();
            EXPECT_EQ(*got, r.linux) << fs::path(r.system).string();
        }
    }
    // A zero character inside a name (from a client's text) is invalid too,
    // not the end of the path.
    setLastError(0);
    EXPECT_FALSE(resolvePath(std::wstring(L"C:\\QVR_Printers\0\\x", 18)));
    EXPECT_EQ(getLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(PathsTest, leadingSeparatorFollowsTheCurrentDrive) {
    ASSERT_TRUE(setCurrentFolder(L"D:\\data"));
    EXPECT_EQ(currentFolder(), L"D:\\data");
    EXPECT_EQ(resolvePath(L"\\x.log").value_or(""), prefix_.root() + "/other/x.log");
    EXPECT_EQ(resolvePath(L"D:y").value_or(""), prefix_.root() + "/other/data/y");  // drive-relative
    EXPECT_EQ(resolvePath(L"C:y").value_or(""), c_ + "/y");
    // A current folder only the catch-all Z: holds still means C:.
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(currentFolder(), L"Z:\\");
    EXPECT_EQ(resolvePath(L"\\batchTrace.log").value_or(""), c_ + "/batchTrace.log");
}

TEST_F(PathsTest, linuxPathsMapBackToDriveTexts) {
    struct row_t {
        std::string linux;
        std::wstring system;
    };
    const row_t rows[] = {
        {c_, L"C:\\"},
        {c_ + "/QVR_Printers/12", L"C:\\QVR_Printers\\12"},
        {c_ + "/QVR_Printers/./12/../12/", L"C:\\QVR_Printers\\12"},
        {prefix_.root() + "/other/data/f.txt", L"D:\\data\\f.txt"},
        {"/usr/bin", L"Z:\\usr\\bin"},
        {prefix_.root() + "/registry", L"Z:" + fs::path(prefix_.root()).wstring() + L"/registry"},
        {"relative/name.txt", L"C:\\relative\\name.txt"},  // the current folder is C:'s root
    };
    for (const auto& r : rows) {
        std::wstring expected = r.system;
        if (expected.rfind(L"Z:/", 0) == 0 || expected.rfind(L"Z:", 0) == 0) {
            for (auto& ch : expected) ch = ch == L'/' ? L'\\' : ch;
        }
        EXPECT_EQ(toSystemPath(r.linux), expected) << r.linux;
        // And the text maps back to the same place.
        EXPECT_EQ(fs::weakly_canonical(resolvePath(expected).value_or("")), fs::weakly_canonical(fs::absolute(r.linux)))
            << r.linux;
    }
}

TEST_F(PathsTest, drivesFollowEveryRewriteOfPlatformConf) {
    const std::string conf = prefix_.root() + "/platform.conf";
    const auto rewrite = [&](const std::string& drives, bool replace) {
        // Another process: a new file renamed over the old one, or the same
        // file written again in place.
        const std::string target = replace ? conf + ".other" : conf;
        {
            std::ofstream out(target, std::ios::binary | std::ios::trunc);
            out << "[drives]\n" << drives;
        }
        if (replace) fs::rename(target, conf);
    };
    fs::create_directories(prefix_.root() + "/elsewhere");
    EXPECT_EQ(resolvePath(L"D:\\data").value_or(""), prefix_.root() + "/other/data");

    rewrite("C=drive_c\nD=elsewhere\n", true);
    EXPECT_EQ(resolvePath(L"D:\\data").value_or(""), prefix_.root() + "/elsewhere/data");
    EXPECT_EQ(toSystemPath(prefix_.root() + "/elsewhere/f"), L"D:\\f");

    rewrite("C=drive_c\n", false);
    setLastError(0);
    EXPECT_FALSE(resolvePath(L"D:\\data"));
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(PathsTest, driveRootCreatedLaterIsFoundThroughALink) {
    // The folder of drive E does not exist yet; a link to it does.
    ASSERT_TRUE(setConfigValue(L"drives", L"E", L"later"));
    const std::string link = prefix_.root() + "/link";
    fs::create_directory_symlink(prefix_.root() + "/later", link);
    EXPECT_EQ(toSystemPath(link).substr(0, 2), L"Z:");
    fs::create_directories(prefix_.root() + "/later/sub");
    EXPECT_EQ(toSystemPath(link + "/sub"), L"E:\\sub");
}

TEST_F(PathsTest, pathOver259CharactersFailsAndTouchesNothing) {
    std::wstring path259 = L"C:\\";
    while (path259.size() < 259) path259 += (path259.size() % 50 == 0) ? L'\\' : L'a';
    ASSERT_EQ(path259.size(), 259u);
    EXPECT_TRUE(resolvePath(path259));
    const std::wstring path260 = path259 + L"b";
    const auto before = std::distance(fs::recursive_directory_iterator(c_), fs::recursive_directory_iterator());

    setLastError(0);
    EXPECT_FALSE(resolvePath(path260));
    EXPECT_EQ(getLastError(), ERROR_FILENAME_EXCED_RANGE);
    setLastError(0);
    EXPECT_FALSE(createDirectory(L"C:\\" + std::wstring(258, L'd')));
    EXPECT_EQ(getLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(copyFile(L"C:\\QVR_Printers\\12\\Settings\\MachineParameters.txt", path260, false));
    EXPECT_EQ(getLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(findFiles(path260 + L"\\*.*").empty());
    EXPECT_EQ(getLastError(), ERROR_FILENAME_EXCED_RANGE);

    const auto after = std::distance(fs::recursive_directory_iterator(c_), fs::recursive_directory_iterator());
    EXPECT_EQ(before, after);
}

TEST(Wildcards, matchAsTheSystemMatches) {
    struct row_t {
        const wchar_t* pattern;
        const wchar_t* name;
        bool match;
    };
    const row_t rows[] = {
        {L"*.*", L"README", true},       {L"*.*", L"a.b.c", true},        {L"*.*", L".", true},
        {L"*.LOG", L"08Dec26.log", true}, {L"*.log", L"MODEL.LOG", true},  {L"*.LOG", L"x.LOGX", false},
        {L"*.txt", L"a.txt.bak", false}, {L"?.txt", L"a.TXT", true},      {L"?.txt", L"ab.txt", false},
        {L"a*b*c", L"AxxBxxC", true},    {L"a*b*c", L"axxbxxcd", false},  {L"*.", L"README", true},
        {L"*.", L"a.b", false},          {L"Empty*.*", L"EmptyModel", true}, {L"*", L"", true},
        {L"cube.zs", L"Cube.ZS", true},  {L"\u00e9*", L"\u00c9t\u00e9", true},
    };
    for (const auto& r : rows)
        EXPECT_EQ(wildcardMatch(r.pattern, r.name), r.match)
            << fs::path(r.pattern).string() << " ~ " << fs::path(r.name).string();
}

}  // namespace
