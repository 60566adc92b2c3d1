// logTail_t: the part of a log file that the logs page shows: its last
// 16,384 characters, read again only when the file's length changed (the
// machines server appends to the logs while they are shown), and the line
// to scroll to so that the end of the log is in sight.
#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

class logTail_t {
public:
    static constexpr std::int64_t tailCharacters = 16384;
    static constexpr int linesInSight = 32;

    enum result_e {
        unchanged_e,  // same length as shown: the view stays as it is
        read_e,       // text() holds the new tail
        failed_e,     // no length or no data: the view stays as it is
    };

    // Clears the stream's end-of-file state, measures the file by seeking to
    // its end and, when the length is not the one last shown, reads its last
    // min(length, 16,384) characters. A failed measure or read changes
    // nothing, so the next call tries again.
    result_e read(std::wistream& in);
    // The next read reads whatever the length (a new active file).
    void forget() { shownLength_ = -1; }

    std::int64_t shownLength() const { return shownLength_; }
    // The last tail read; never longer than tailCharacters.
    std::wstring text() const;

    // Lines as a text view counts them: one more than its line feeds.
    static int lineCount(const std::wstring& text);
    // The line to show at the top so that the last lines are in sight: the
    // last 32, or as many as the view can show when it shows fewer (so the
    // log's end is never below the view).
    static int firstLineInSight(int lineCount, int linesThatFit);

private:
    // Sized in characters at first use, with room for a terminator: a wide
    // character is 4 bytes here, not 2.
    std::vector<wchar_t> buffer_;
    std::size_t textLength_ = 0;
    std::int64_t shownLength_ = -1;
};
