#include "machine/programUtils.h"

#include "machine/fileUtils.h"
#include "platform/files.h"
#include "platform/lastError.h"
#include "platform/process.h"

namespace {

// The command-line buffer holds 520 characters with its terminating zero.
constexpr std::size_t commandLineChars = 519;

}  // namespace

std::wstring splitCommandLine(const std::wstring& commandLine, std::wstring* program)
{
    if (commandLine.empty())
        return std::wstring();
    std::wstring name;
    std::wstring arguments;
    if (commandLine[0] == L'"') {
        std::size_t quote = commandLine.find(L'"', 1);
        if (quote == std::wstring::npos) {
            name = commandLine.substr(1);
        } else {
            name = commandLine.substr(1, quote - 1);
            arguments = commandLine.substr(quote + 1);
        }
    } else {
        std::size_t blank = commandLine.find(L' ');
        if (blank == std::wstring::npos) {
            name = commandLine;
        } else {
            name = commandLine.substr(0, blank);
            arguments = commandLine.substr(blank + 1);
        }
    }
    if (program != nullptr)
        *program = name;
    return arguments;
}

std::wstring buildCommandLine(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring line;
    if (program.empty() || program[0] == L'"')
        line = program;
    else
        line = L"\"" + program + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    return line;
}

bool runProgram(const std::wstring& program, const std::wstring& arguments, bool showWindow)
{
    const std::wstring line = buildCommandLine(program, arguments);
    if (line.size() > commandLineChars) {
        setLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (showWindow)
        return startProcess(line);
    // Without a window the program gets a throw-away file in the temporary
    // folder as its standard input, output and error, so whatever it prints
    // goes nowhere visible. The file goes as soon as the program has it.
    const std::wstring standardFile = getTempFileName(L".TMP");
    if (standardFile.empty())
        return false;
    const bool started = startProcessWithStandardFile(line, standardFile);
    const DWORD error = getLastError();
    deleteFile(standardFile);
    setLastError(error);  // why a start failed, not what the deletion did
    return started;
}
