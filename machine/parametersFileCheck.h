// The strict reading of a parameters file that is to replace the machine's
// parameters. The reader's own rules skip what they cannot read, so a
// damaged file half-applies: values after a broken one go missing, a broken
// tool row keeps the old tool table, a broken glue line drops the profiles
// after it, and tool values are cut to their fields' widths. Such a file is
// used only when what it holds reads as the writer writes it:
//   - a parameter's value is the next non-empty line, a whole number that
//     fits in 32 bits; the machine number is the line after its heading, a
//     whole number that fits in 32 bits;
//   - the tools section has 12 rows in order, each of ten fields on one
//     line, every number within its field and the two words "ON" or "OFF";
//   - the glue section holds at least one profile, one a line, up to the
//     end of the file, every value within its field of the table's form,
//     and the profiles fit the glue region; both sections are there.
// Files are kept across versions: as for the reader, a line that is no
// descriptor text of this version (another version's parameter, its value)
// is passed over, and a parameter the file does not hold is no fault.
// The first fault found is reported with its line (1 = the first line of
// the file); at the end of the file, with the file's last line.
#pragma once
#include <optional>
#include <string>

struct parametersFileFault_t {
    int line = 0;
    std::wstring what;
    // "Line N: " and what.
    std::wstring text() const;
};

// The text as the text mode reads it (LF line ends).
std::optional<parametersFileFault_t> checkParametersText(const std::string& text, bool compactGlue);
