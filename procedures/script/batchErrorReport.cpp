#include "procedures/script/batchErrorReport.h"

#include "procedures/script/batchNumbers.h"
#include "procedures/script/scriptTextFile.h"

#include <cstdint>

namespace {

constexpr std::size_t shownLines = 20;
// A longer line is shown cut here, so that a hostile script (one enormous
// line) still gives a report of bounded size.
constexpr std::size_t maxShownLineLength = 1024;

struct sourceLine_t {
    int number = 0;             // from 1
    std::string text;           // at most maxShownLineLength bytes
    std::int64_t start = 0;     // byte offset of its first character
};

// Under the error line, each character becomes a blank except the white
// ones, which stay so that tabs keep the caret under its place.
struct caretChars_t {
    char of[256] = {};
    constexpr caretChars_t()
    {
        for (char& c : of)
            c = ' ';
        for (char c : {' ', '\t', '\n', '\v', '\f', '\r'})
            of[static_cast<unsigned char>(c)] = c;
    }
};
constexpr caretChars_t caretChars;

// The line number right-aligned in four places.
void appendNumbered(std::string& report, int number)
{
    const std::string text = batchSignedText(number);
    if (text.size() < 4)
        report.append(4 - text.size(), ' ');
    report += text;
}

// The report over a script opened in text mode, or not opened at all.
std::string buildReport(scriptTextFile_t& file, const std::string& message, const batchErrorPlace_t& place)
{
    // The end-of-input token has no place in the file: the caret then goes
    // after the last character of the last line.
    bool atEnd = place.position < 0;
    // The last lines read, in a ring whose texts keep their storage.
    sourceLine_t ring[shownLines];
    std::size_t count = 0;
    if (file.isOpen()) {
        for (int number = 1;; ++number) {
            sourceLine_t& line = ring[count % shownLines];
            const std::int64_t start = file.offset();
            bool ended = false;
            if (!file.getLine(line.text, maxShownLineLength, ended))
                break;
            line.number = number;
            line.start = start;
            ++count;
            if (ended || (!atEnd && file.offset() > place.position))
                break;
        }
    }
    // Built in place: each piece appended, no text made for a line.
    const std::size_t first = count > shownLines ? count - shownLines : 0;
    std::size_t size = 6 + 7 + message.size() + 1;
    for (std::size_t i = first; i < count; ++i)
        size += 4 + 2 + ring[i % shownLines].text.size() + 1;
    if (count > 0)
        size += ring[(count - 1) % shownLines].text.size();  // the caret line
    std::string report;
    report.reserve(size);
    for (std::size_t i = first; i < count; ++i) {
        const sourceLine_t& line = ring[i % shownLines];
        appendNumbered(report, line.number);
        report += "  ";
        report += line.text;
        report += '\n';
    }

    report += "      ";
    if (count > 0) {
        const auto& errorLine = ring[(count - 1) % shownLines];
        std::int64_t column = atEnd ? static_cast<std::int64_t>(errorLine.text.size())
                                    : place.position - errorLine.start;
        if (column < 0)
            column = 0;
        if (column > static_cast<std::int64_t>(errorLine.text.size()))
            column = static_cast<std::int64_t>(errorLine.text.size());
        const std::size_t at = report.size();
        report.append(errorLine.text, 0, static_cast<std::size_t>(column));
        for (std::size_t i = at; i < report.size(); ++i)
            report[i] = caretChars.of[static_cast<unsigned char>(report[i])];
    }
    report += "^_____ ";
    report += message;
    report += '\n';
    return report;
}

}  // namespace

std::string buildErrorReport(const std::wstring& scriptPath, const std::string& message,
                             const batchErrorPlace_t& place)
{
    if (place.line == -1)
        return message + "\n";
    scriptTextFile_t file;
    file.open(scriptPath, true);
    return buildReport(file, message, place);
}

std::string buildErrorReport(std::string_view scriptBytes, const std::string& message,
                             const batchErrorPlace_t& place)
{
    if (place.line == -1)
        return message + "\n";
    scriptTextFile_t file;
    file.openBytes(scriptBytes, true);
    return buildReport(file, message, place);
}
