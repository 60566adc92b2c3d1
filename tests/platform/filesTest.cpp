#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/paths.h"
#include "tests/support/tempPrefix.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using FilesTest = prefixTest;

std::vector<std::wstring> names(const std::vector<fileEntry_t>& found) {
    std::vector<std::wstring> out;
    for (const auto& f : found) out.push_back(f.name);
    return out;
}

TEST_F(FilesTest, folderSearchIsCaseInsensitiveAndSortedWithDotEntries) {
    for (const wchar_t* f : {L"C:/logs/b.log", L"C:/logs/A.LOG", L"C:/logs/c.txt", L"C:/logs/Zeta", L"C:/logs/x.LOGX"})
        ASSERT_TRUE(writeRawFile(f, "1234"));
    ASSERT_TRUE(createDirectory(L"C:\\logs\\Sub"));

    EXPECT_EQ(names(findFiles(L"C:/LOGS/*.*")),
              (std::vector<std::wstring>{L".", L"..", L"A.LOG", L"b.log", L"c.txt", L"Sub", L"x.LOGX", L"Zeta"}));
    const auto logs = findFiles(L"c:\\logs\\*.log");
    ASSERT_EQ(names(logs), (std::vector<std::wstring>{L"A.LOG", L"b.log"}));
    EXPECT_EQ(logs[0].fullPath, L"c:\\logs/A.LOG");
    EXPECT_EQ(logs[0].size, 4u);
    EXPECT_FALSE(logs[0].isFolder);
    EXPECT_EQ(names(findFiles(L"C:/logs/*.LOG")), names(logs));
    const auto sub = findFiles(L"C:/logs/s*");
    ASSERT_EQ(sub.size(), 1u);
    EXPECT_TRUE(sub[0].isFolder);
    // A drive's root has no "." and "..".
    for (const auto& f : findFiles(L"C:\\*")) EXPECT_NE(f.name.substr(0, 1), L".");

    setLastError(0);
    EXPECT_TRUE(findFiles(L"C:/logs/*.zs").empty());
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(findFiles(L"C:/nowhere/*.*").empty());
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, createDirectoryIsOneLevelOnly) {
    setLastError(0);
    EXPECT_FALSE(createDirectory(L"C:\\QVR_Printers\\12"));
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(fs::exists(prefix_.driveC() + "/QVR_Printers"));

    EXPECT_TRUE(createDirectory(L"C:/QVR_Printers"));
    EXPECT_TRUE(createDirectory(L"C:/qvr_printers/12"));  // created inside the existing folder
    EXPECT_TRUE(fs::is_directory(prefix_.driveC() + "/QVR_Printers/12"));
    for (const wchar_t* again : {L"C:/QVR_Printers", L"C:\\QVR_PRINTERS"}) {
        setLastError(0);
        EXPECT_FALSE(createDirectory(again));
        EXPECT_EQ(getLastError(), ERROR_ALREADY_EXISTS);
    }
    EXPECT_TRUE(isFolder(L"c:\\Qvr_Printers\\12"));
    EXPECT_TRUE(removeDirectory(L"C:/QVR_Printers/12"));
    EXPECT_FALSE(fileOrFolderExists(L"C:/QVR_Printers/12"));
}

TEST_F(FilesTest, missingFileAndMissingFolderGiveDifferentErrors) {
    ASSERT_TRUE(createDirectory(L"C:/here"));
    setLastError(0);
    EXPECT_EQ(getFileAttributes(L"C:/here/none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(getFileAttributes(L"C:/gone/none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(getLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(deleteFile(L"C:/here/none.txt"));
    EXPECT_EQ(getLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, copyKeepsModeAndTimeAndRefusesWhatTheSystemRefuses) {
    ASSERT_TRUE(writeRawFile(L"C:/dist/Wendaro.exe", "program"));
    const std::string src = linuxPathOf(L"C:/dist/Wendaro.exe");
    ASSERT_EQ(::chmod(src.c_str(), 0755), 0);
    const auto old = fs::file_time_type(fs::last_write_time(src) - std::chrono::hours(48));
    fs::last_write_time(src, old);
    ASSERT_TRUE(createDirectory(L"C:/inst"));

    EXPECT_TRUE(copyFile(L"C:\\DIST\\wendaro.EXE", L"C:/inst/Wendaro.exe", false));
    const std::string dst = linuxPathOf(L"C:/inst/Wendaro.exe");
    EXPECT_EQ(readRawFile(L"C:/inst/wendaro.exe").value_or(""), "program");
    EXPECT_EQ(fs::status(dst).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    EXPECT_EQ(fs::last_write_time(dst), old);

    struct row_t {
        const wchar_t* from;
        const wchar_t* to;
        bool failIfExists;
        DWORD error;
    };
    const row_t failures[] = {
        {L"C:/dist/Wendaro.exe", L"C:/inst/WENDARO.exe", true, ERROR_FILE_EXISTS},
        {L"C:/dist/Wendaro.exe", L"C:/dist/wendaro.exe", false, ERROR_SHARING_VIOLATION},  // itself
        {L"C:/dist/none.exe", L"C:/inst/none.exe", false, ERROR_FILE_NOT_FOUND},
        {L"C:/dist/Wendaro.exe", L"C:/nowhere/Wendaro.exe", false, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& f : failures) {
        setLastError(0);
        EXPECT_FALSE(copyFile(f.from, f.to, f.failIfExists)) << fs::path(f.to).string();
        EXPECT_EQ(getLastError(), f.error) << fs::path(f.to).string();
    }
    EXPECT_EQ(readRawFile(L"C:/dist/Wendaro.exe").value_or(""), "program");

    // A read-only copy refuses to be overwritten or deleted until it is made normal.
    ASSERT_EQ(::chmod(dst.c_str(), 0555), 0);
    EXPECT_EQ(getFileAttributes(L"C:/inst/Wendaro.exe") & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    setLastError(0);
    EXPECT_FALSE(copyFile(L"C:/dist/Wendaro.exe", L"C:/inst/Wendaro.exe", false));
    EXPECT_EQ(getLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(deleteFile(L"C:/inst/Wendaro.exe"));
    EXPECT_EQ(getLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(setFileNormal(L"C:/inst/Wendaro.exe"));
    EXPECT_EQ(fs::status(dst).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    EXPECT_TRUE(deleteFile(L"C:/inst/WENDARO.EXE"));
    EXPECT_FALSE(fs::exists(dst));
}

TEST_F(FilesTest, moveReplacesAndInfoReportsTheNameOnDisk) {
    ASSERT_TRUE(writeRawFile(L"C:/s/MachineParameters.txt", "old"));
    ASSERT_TRUE(writeRawFile(L"C:/s/new.tmp", "new"));
    EXPECT_TRUE(moveFileReplace(L"C:/s/new.tmp", L"C:/s/machineparameters.TXT"));
    EXPECT_EQ(readRawFile(L"C:/s/MachineParameters.txt").value_or(""), "new");
    EXPECT_FALSE(fileOrFolderExists(L"C:/s/new.tmp"));
    fileEntry_t info;
    ASSERT_TRUE(getFileInfo(L"c:/S/MACHINEPARAMETERS.TXT", info));
    EXPECT_EQ(info.name, L"MachineParameters.txt");
    EXPECT_EQ(info.size, 3u);
    EXPECT_GT(info.lastWrite, 0);
    EXPECT_GT(info.creation, 0);
}

TEST_F(FilesTest, configuredFoldersExistAndTempFilesAreNew) {
    for (const std::wstring& folder : {windowsFolder(), systemFolder(), tempFolder(), specialFolder(CSIDL_DESKTOPDIRECTORY),
                                       specialFolder(CSIDL_COMMON_PROGRAMS)}) {
        ASSERT_FALSE(folder.empty());
        EXPECT_TRUE(isFolder(folder)) << fs::path(folder).string();
        EXPECT_EQ(folder.substr(0, 3), L"C:\\");
    }
    EXPECT_EQ(specialFolder(5), L"");
    const std::wstring a = createTempFile(tempFolder(), L".TMP");
    const std::wstring b = createTempFile(tempFolder(), L".TMP");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(0, tempFolder().size() + 5), tempFolder() + L"\\.TMP");
    EXPECT_EQ(a.substr(a.size() - 4), L".tmp");
    EXPECT_EQ(readRawFile(a).value_or("x"), "");
}

}  // namespace
