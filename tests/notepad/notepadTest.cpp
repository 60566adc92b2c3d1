#include "platform/files.h"
#include "platform/process.h"
#include "standins/notepad/notepadArgs.h"
#include "standins/notepad/notepadWindow.h"
#include "standins/notepad/textFileCodec.h"
#include "tests/support/printedPdf.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <QPlainTextEdit>
#include <csignal>
#include <gtest/gtest.h>

namespace {

TEST(NotepadArgs, TheRestOfTheLineIsOnePath)
{
    const struct {
        const wchar_t* commandLine;
        bool print;
        const wchar_t* path;
    } cases[] = {
        {L"\"C:\\Windows/NOTEPAD.EXE\"", false, L""},
        {L"\"C:\\Windows/NOTEPAD.EXE\" /p", true, L""},
        {L"\"C:\\Windows/NOTEPAD.EXE\" /P C:\\Machine  logs\\Daily log.LOG  ", true, L"C:\\Machine  logs\\Daily log.LOG"},
        {L"NOTEPAD.EXE   C:\\a  b.txt", false, L"C:\\a  b.txt"},
        {L"NOTEPAD.EXE /p \"C:\\a  b.txt\"", true, L"C:\\a  b.txt"},
        {L"NOTEPAD.EXE x.txt /p", false, L"x.txt /p"},
        {L"NOTEPAD.EXE /prices.txt", false, L"/prices.txt"},
    };
    for (const auto& c : cases) {
        const notepadArgs_t parsed = parseNotepadCommandLine(c.commandLine);
        EXPECT_EQ(parsed.print, c.print) << c.commandLine;
        EXPECT_EQ(parsed.path, c.path) << c.commandLine;
    }
}

TEST(TextFileCodec, KeepsTheFilesEncodingAndWindowsLineEnds)
{
    const struct {
        std::string bytes;
        std::wstring text;
        textEncoding_e encoding;
    } cases[] = {
        {"12:01 \xB5m\r\nend\r\n", L"12:01 \u00b5m\nend\n", textEncoding_e::ansi_e},
        {"\xEF\xBB\xBFOhm \xCE\xA9\r\n", L"Ohm \u03a9\n", textEncoding_e::utf8_e},
        {std::string("\xFF\xFE" "a\0\r\0\n\0", 8), L"a\n", textEncoding_e::utf16le_e},
    };
    for (const auto& c : cases) {
        const decodedText_t decoded = decodeTextFile(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(encodeTextFile(decoded.text, decoded.encoding), c.bytes);
    }
    // What the code page cannot hold is not saved as '?'.
    EXPECT_EQ(encodeTextFile(L"\u03a9\n", textEncoding_e::ansi_e), "\xEF\xBB\xBF\xCE\xA9\r\n");
}

using NotepadWidget = prefixTest;

TEST_F(NotepadWidget, PrintsAFileWhosePathHasRunsOfBlanksAndNothingForAMissingFile)
{
    const std::wstring notepad = windowsFolder() + L"\\NOTEPAD.EXE";
    ASSERT_FALSE(findProgram(notepad).empty()) << "NOTEPAD.EXE is not in the Windows folder";
    ASSERT_TRUE(writeRawFile(L"C:\\Machine  logs\\My  Daily log 09Dec26.LOG",
                             "10:02:11 Layer 12 done\r\n10:02:40 XY HOME ERROR\r\n"));
    // A file of the collapsed name, which must not be the one printed.
    ASSERT_TRUE(writeRawFile(L"C:\\Machine logs\\My Daily log 09Dec26.LOG", "wrong file\r\n"));
    for (const wchar_t* path : {L"C:\\Machine  logs\\No such log.LOG", L"C:\\Machine  logs\\My  Daily log 09Dec26.LOG"}) {
        int pid = 0;
        // As the logs page starts it: the path unquoted after "/p ".
        ASSERT_TRUE(startProcess(quoteArgument(notepad) + L" /p " + path, &pid));
        EXPECT_TRUE(waitUntil([pid] { return ::kill(pid, 0) != 0; }, 60s)) << "NOTEPAD.EXE /p did not exit";
    }
    const std::vector<std::string> pdfs = printedPdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_NE(pdfs[0].find("/My  Daily log 09Dec26.LOG 2"), std::string::npos) << pdfs[0];
    const std::vector<std::string> lines = textLines(pdfText(pdfs[0]));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "10:02:11 Layer 12 done");
    EXPECT_EQ(lines[1], "10:02:40 XY HOME ERROR");
}

TEST_F(NotepadWidget, AFileThatDoesNotOpenShowsAnEmptyEditorThatSavesUnderItsName)
{
    const std::wstring path = L"C:\\Logs\\new note.txt";
    notepadWindow_t window(path);
    EXPECT_TRUE(window.editor()->toPlainText().isEmpty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("new note.txt - Notepad"));
    window.editor()->insertPlainText(QStringLiteral("first\nsecond \u00b5"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("*new note.txt - Notepad"));
    ASSERT_TRUE(createDirectory(L"C:\\Logs"));
    ASSERT_TRUE(window.save());
    EXPECT_EQ(readRawFile(path), std::optional<std::string>("first\r\nsecond \xB5"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("new note.txt - Notepad"));
}

}  // namespace
