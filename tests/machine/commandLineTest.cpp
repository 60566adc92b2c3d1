#include "machine/fileUtils.h"
#include "machine/programUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(pathPartsTest, namesTitlesAndExtensions)
{
    struct case_t {
        std::wstring path, name, title, extension;
    };
    const case_t cases[] = {
        {L"C:\\a/b\\c.txt", L"c.txt", L"c", L"txt"},
        {L"c.txt", L"c.txt", L"c", L"txt"},
        {L"C:\\dir\\", L"", L"", L""},
        {L"C:/x/archive.tar.gz", L"archive.tar.gz", L"archive.tar", L"gz"},
        {L"C:/x/README", L"README", L"README", L""},
        {L"", L"", L"", L""},
        // The extension is searched in the whole path.
        {L"C:/v1.2/README", L"README", L"README", L"2/README"},
        {L"C:/m/.hidden", L".hidden", L"", L"hidden"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(getFileName(c.path), c.name) << c.path;
        EXPECT_EQ(getFileTitle(c.path), c.title) << c.path;
        EXPECT_EQ(getFileExtension(c.path), c.extension) << c.path;
    }
}

TEST(commandLineTest, splitCommandLine)
{
    struct case_t {
        std::wstring line, program, arguments;
    };
    const case_t cases[] = {
        {L"\"C:\\Program Files\\p.exe\" 3", L"C:\\Program Files\\p.exe", L" 3"},
        {L"p.exe /I 2", L"p.exe", L"/I 2"},
        {L"\"p.exe", L"p.exe", L""},
        {L"p.exe", L"p.exe", L""},
        {L"\"a b\"", L"a b", L""},
        {L"\"a\"x y", L"a", L"x y"},
        {L" lead", L"", L"lead"},
    };
    for (const auto& c : cases) {
        std::wstring program = L"untouched";
        EXPECT_EQ(splitCommandLine(c.line, &program), c.arguments) << c.line;
        EXPECT_EQ(program, c.program) << c.line;
        EXPECT_EQ(splitCommandLine(c.line, nullptr), c.arguments);
    }
    std::wstring program = L"untouched";
    EXPECT_EQ(splitCommandLine(L"", &program), L"");
    EXPECT_EQ(program, L"untouched");
}

TEST(commandLineTest, buildCommandLine)
{
    EXPECT_EQ(buildCommandLine(L"C:\\x y\\a.exe", L"/c"), L"\"C:\\x y\\a.exe\" /c");
    EXPECT_EQ(buildCommandLine(L"C:\\x y\\a.exe", L""), L"\"C:\\x y\\a.exe\"");
    EXPECT_EQ(buildCommandLine(L"\"q.exe\" -v", L"2"), L"\"q.exe\" -v 2");
    EXPECT_EQ(buildCommandLine(L"", L"/p"), L" /p");
}

}  // namespace
