#include "machine/fileUtils.h"
#include "machine/longnameStream.h"
#include "machine/systemInfo.h"
#include "machine/wstr.h"
#include "platform/files.h"
#include "platform/lastError.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class fileUtilsTest : public prefixTest {};

TEST_F(fileUtilsTest, freeFileNamesCountUpToTheLimit)
{
    const std::wstring base = L"C:/m/12/Backups/08Dec26";
    EXPECT_EQ(getFreeFileName(base, L"txt", 200), base + L".txt");
    ASSERT_TRUE(writeRawFile(base + L".txt", ""));
    EXPECT_EQ(getFreeFileName(base, L"txt", 200), base + L"_2.txt");
    // Names are found whatever their case.
    ASSERT_TRUE(writeRawFile(L"C:/m/12/Backups/08DEC26_2.TXT", ""));
    EXPECT_EQ(getFreeFileName(base, L"txt", 200), base + L"_3.txt");
    for (int n = 3; n <= 198; ++n)
        ASSERT_TRUE(writeRawFile(wstr_t(base) << L"_" << n << L".txt", ""));
    EXPECT_EQ(getFreeFileName(base, L"txt", 200), base + L"_199.txt");
    ASSERT_TRUE(writeRawFile(base + L"_199.txt", ""));
    EXPECT_EQ(getFreeFileName(base, L"txt", 200), base + L"_199.txt") << "the last name is not tested";
}

TEST_F(fileUtilsTest, existsAndFolders)
{
    ASSERT_TRUE(writeRawFile(L"C:/Data/a.txt", "a"));
    EXPECT_TRUE(fileExists(L"C:/Data/a.txt"));
    EXPECT_TRUE(fileExists(L"c:\\DATA\\A.TXT"));
    EXPECT_TRUE(fileExists(L"C:/Data"));
    EXPECT_FALSE(fileExists(L"C:/Data/b.txt"));
    EXPECT_FALSE(fileExists(L""));

    bool existed = true;
    EXPECT_TRUE(createFolder(L"C:/Data/New", &existed));
    EXPECT_FALSE(existed);
    EXPECT_TRUE(createFolder(L"C:/Data/New", &existed));
    EXPECT_TRUE(existed);
    EXPECT_TRUE(createFolder(L"C:/Data/Other"));
    EXPECT_FALSE(createFolder(L"C:/Missing/Deeper", &existed)) << "one level only";
    EXPECT_FALSE(existed);
    EXPECT_TRUE(isFolder(L"C:/Data/New"));
}

TEST_F(fileUtilsTest, deleteOldFilesTakesOnlyTheExtension)
{
    ASSERT_TRUE(writeRawFile(L"C:/logs/a.log", "a"));
    ASSERT_TRUE(writeRawFile(L"C:/logs/B.LOG", "b"));
    ASSERT_TRUE(writeRawFile(L"C:/logs/c.txt", "c"));
    ASSERT_TRUE(createFolder(L"C:/logs/d.log"));
    deleteOldFiles(L"C:/logs", L"log", 1);
    EXPECT_TRUE(fileExists(L"C:/logs/a.log")) << "made just now";
    deleteOldFiles(L"C:/logs", L"log", -1);
    EXPECT_FALSE(fileExists(L"C:/logs/a.log"));
    EXPECT_FALSE(fileExists(L"C:/logs/B.LOG"));
    EXPECT_TRUE(fileExists(L"C:/logs/c.txt"));
    EXPECT_TRUE(fileExists(L"C:/logs/d.log"));
}

TEST_F(fileUtilsTest, sizesAndRemaining)
{
    ASSERT_TRUE(writeRawFile(L"C:/hundred.bin", std::string(100, '\n')));
    EXPECT_EQ(getFileSize(L"C:/hundred.bin"), 100);
    longname_ifstream in(L"C:/hundred.bin", std::ios_base::binary);
    in.seekg(30);
    EXPECT_EQ(streamRemaining(in), 70);
    EXPECT_EQ(streamSize(in), 100);
    EXPECT_EQ(in.tellg(), 30);

    std::istringstream text("0123456789");
    text.get();
    EXPECT_EQ(streamRemaining(text), 9);
    EXPECT_EQ(text.get(), '1');
}

TEST_F(fileUtilsTest, temporaryFilesAndIdentity)
{
    const std::wstring temp = getTempFileName(L"qvr");
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(fileExists(temp));
    EXPECT_EQ(getFileName(temp).rfind(L"qvr", 0), 0u);
    EXPECT_NE(temp, getTempFileName(L"qvr"));

    EXPECT_EQ(getComputerName(), L"QVRTEST");
    EXPECT_EQ(getUserName(), L"tech");
    setLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(lastErrorText(), L"The system cannot find the file specified.\r\n");
}

}  // namespace
