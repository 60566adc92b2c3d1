#include "tests/support/printedPdf.h"

#include "platform/paths.h"
#include "platform/posixFile.h"
#include "platform/printerSetting.h"

#include <algorithm>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::vector<std::string> printedPdfs()
{
    std::vector<std::string> found;
    const auto folder = resolvePath(printerSetting().pdfFolder);
    std::error_code ec;
    if (!folder)
        return found;
    for (const auto& entry : std::filesystem::directory_iterator(*folder, ec))
        if (entry.path().extension() == ".pdf")
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

std::string pdfText(const std::string& pdfPath)
{
    const std::string textPath = pdfPath + ".txt";
    std::vector<std::string> args{"pdftotext", "-q", "-enc", "UTF-8", pdfPath, textPath};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "pdftotext", nullptr, nullptr, argv.data(), environ) != 0)
        return std::string();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    std::string text = readWholeFile(textPath).value_or(std::string());
    ::unlink(textPath.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

std::vector<std::string> textLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto first = line.find_first_not_of(" \t\f\r");
        if (first == std::string::npos)
            continue;
        lines.push_back(line.substr(first, line.find_last_not_of(" \t\f\r") - first + 1));
    }
    return lines;
}
