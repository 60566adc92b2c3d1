#include "procedures/script/batchErrorReport.h"

#include "procedures/script/batchNumbers.h"
#include "procedures/script/scriptTextFile.h"

#include <deque>

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

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string numbered(int number)
{
    std::string text = batchSignedText(number);
    if (text.size() < 4)
        text.insert(0, 4 - text.size(), ' ');
    return text;
}

}  // namespace

std::string buildErrorReport(const std::wstring& scriptPath, const std::string& message,
                             const batchErrorPlace_t& place)
{
    if (place.line == -1)
        return message + "\n";

    // The end-of-input token has no place in the file: the caret then goes
    // after the last character of the last line.
    bool atEnd = place.position < 0;
    std::deque<sourceLine_t> lines;
    scriptTextFile_t file;
    if (file.open(scriptPath, true)) {
        int number = 0;
        for (;;) {
            sourceLine_t line;
            line.number = number + 1;
            line.start = file.offset();
            bool any = false;
            bool ended = false;
            std::int64_t start = 0;
            std::int64_t end = 0;
            for (;;) {
                int c = file.get(start, end);
                if (c == scriptTextFile_t::endOfInput) {
                    ended = true;
                    break;
                }
                any = true;
                if (c == '\n')
                    break;
                // A zero byte (a binary file) would end the report's text
                // where it stands: it is shown as a blank.
                if (line.text.size() < maxShownLineLength)
                    line.text.push_back(c == 0 ? ' ' : static_cast<char>(c));
            }
            if (!any)
                break;
            ++number;
            lines.push_back(std::move(line));
            if (lines.size() > shownLines)
                lines.pop_front();
            if (ended || (!atEnd && file.offset() > place.position))
                break;
        }
    }

    std::string report;
    for (const auto& line : lines)
        report += numbered(line.number) + "  " + line.text + "\n";

    report += "      ";
    if (!lines.empty()) {
        const auto& errorLine = lines.back();
        std::int64_t column = atEnd ? static_cast<std::int64_t>(errorLine.text.size())
                                    : place.position - errorLine.start;
        if (column < 0)
            column = 0;
        if (column > static_cast<std::int64_t>(errorLine.text.size()))
            column = static_cast<std::int64_t>(errorLine.text.size());
        for (std::int64_t i = 0; i < column; ++i) {
            char c = errorLine.text[static_cast<std::size_t>(i)];
            report.push_back(isWhite(c) ? c : ' ');
        }
    }
    report += "^_____ " + message + "\n";
    return report;
}
