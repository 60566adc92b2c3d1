#include "machine/parametersFile.h"

#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/parametersFileCheck.h"
#include "machine/textFileIo.h"
#include "machine/textUtils.h"
#include "machine/toolInfo.h"
#include "machine/wstr.h"
#include "platform/decimal.h"

#include <cstring>
#include <locale>
#include <optional>
#include <sstream>

namespace {

// The file format's own version, 12.0, written as "2.0".
constexpr double fileFormatVersion = 12.0;

// The column line of the tools section; 0xB5 is "µ" in the code page.
constexpr char toolColumnLine[] =
    "// #   Loc DZ-Pen(\xB5m)  DZ-Table-Up(\xB5m)  Speed  Refill Len + Time   Diameter  Active?  Sensor?";

std::string number(long long value) {
    return decimalText(value);
}

// Right-aligned in a field of the width; a wider text is written whole.
std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::int32_t wordAt(std::span<const std::int32_t> image, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < image.size() ? image[index] : 0;
}

std::string toolRow(int number_, const toolInfo_t& tool) {
    std::string row;
    row += padded(number(number_), 4);
    row += padded(number(tool.location()), 5);
    row += padded(number(tool.dzPenUpDown()), 8);
    row += padded(number(tool.dzTableUp()), 14);
    row += padded(number(tool.speed()), 10);
    row += padded(number(tool.refillLength()), 13);
    row += padded(number(tool.refillTime()), 9);
    row += padded(number(tool.diameter()), 9);
    row += padded(tool.isActive() ? "ON" : "OFF", 9);
    row += padded(tool.isSensorUsed() ? "ON" : "OFF", 9);
    return row;
}

// The comment's lines (CR LF or a lone LF end a line).
std::vector<std::wstring> commentLines(const std::wstring& comment) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= comment.size()) {
        std::size_t end = comment.find(L'\n', start);
        if (end == std::wstring::npos)
            end = comment.size();
        std::wstring line = comment.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The tools section after its heading: the column line is skipped, then up
// to 12 rows are read; the image's table changes only when all 12 were read.
int readToolRows(std::istream& in, std::span<std::int32_t> image) {
    std::string columns;
    std::getline(in, columns);
    toolTable_t tools{};
    int rows = 0;
    for (; rows < paramLayout::toolCount; ++rows) {
        int toolNumber = 0;
        if (!(in >> toolNumber) || toolNumber != rows)
            break;
        int location = 0, dzPen = 0, dzTable = 0, speed = 0, refillLength = 0, refillTime = 0, diameter = 0;
        std::string active, sensor;
        if (!(in >> location >> dzPen >> dzTable >> speed >> refillLength >> refillTime >> diameter >>
              active >> sensor))
            break;
        toolInfo_t tool;
        tool.setLocation(location);
        tool.setDzPenUpDown(dzPen);
        tool.setDzTableUp(dzTable);
        tool.setSpeed(speed);
        tool.setRefillLength(refillLength);
        tool.setRefillTime(refillTime);
        tool.setDiameter(diameter);
        tool.setActive(active == "ON");
        tool.setSensorUsed(sensor == "ON");
        tools[rows] = tool;
    }
    if (rows == paramLayout::toolCount)
        writeToolTable(image, tools.data());
    else
        in.clear();
    return rows;
}

bool isControlByte(unsigned char byte) {
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
}

bool looksBinary(const std::string& text) {
    // Eight bytes at a time: only a word that holds a byte below 0x20 (each
    // line end does) is looked at byte by byte.
    constexpr std::uint64_t ones = 0x0101010101010101u;
    const std::size_t size = text.size();
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if (((word - 0x20 * ones) & ~word & 0x80 * ones) == 0)
            continue;
        for (std::size_t k = i; k < i + 8; ++k)
            if (isControlByte(static_cast<unsigned char>(text[k])))
                return true;
    }
    for (; i < size; ++i)
        if (isControlByte(static_cast<unsigned char>(text[i])))
            return true;
    return false;
}

std::wstring refusedText() {
    return std::wstring(L"\n") + notParametersFileText + L"\n";
}

// The file's text; or, when it cannot be opened or is far too large for a
// parameters file, the text that refuses it.
std::optional<std::wstring> loadFileText(const std::wstring& path, std::string& text) {
    switch (readTextFileBounded(path, parametersFileLimit, text)) {
    case textFileRead_e::cannotOpen_e:
        return cannotOpenFileText;
    case textFileRead_e::tooLarge_e:
        return refusedText();
    case textFileRead_e::ok_e:
        break;
    }
    return std::nullopt;
}

} // namespace

std::string parametersFileText(std::span<const std::int32_t> image, std::uint32_t machineNumber,
                               bool compactGlue, const std::wstring& comment) {
    std::string text;
    text += parametersFileVersionKey;
    text += "\n" + wstrToStr(versionToText(fileFormatVersion)) + "\n\n";
    text += machineIdKey;
    text += "\n" + number(machineNumber) + "\n\n";
    if (!comment.empty()) {
        for (const std::wstring& line : commentLines(comment))
            if (!line.empty())
                text += "// " + wstrToStr(line) + "\n";
        text += "\n";
    }
    const int highest = highestParameterIndex();
    for (int i = 1; i <= highest; ++i) {
        const machineParam_t* param = parameterAt(i);
        if (param == nullptr)
            continue;
        text += param->fileText().empty() ? wstrToStr(param->text()) : param->fileText();
        text += "\n" + number(wordAt(image, i)) + "\n\n";
    }
    text += wstrToStr(toolsParametersHeading) + "\n";
    text += toolColumnLine;
    text += "\n";
    toolTable_t tools{};
    readToolTable(image, tools.data());
    for (int t = 0; t < paramLayout::toolCount; ++t)
        text += toolRow(t, tools[t]) + "\n";
    text += "\n" + wstrToStr(glueParametersHeading) + "\n";
    std::ostringstream glue;
    glue.imbue(std::locale::classic());
    writeGlueProfiles(glue, image, compactGlue);
    text += glue.str();
    return text;
}

bool writeParametersFile(const std::wstring& path, std::span<const std::int32_t> image,
                         std::uint32_t machineNumber, bool compactGlue, const std::wstring& comment) {
    return replaceTextFile(path, parametersFileText(image, machineNumber, compactGlue, comment));
}

parseOutcome_t parseParameters(std::istream& in, std::span<std::int32_t> image, bool compactGlue,
                               std::vector<glueProfile_t>* profiles, std::wstring* comment) {
    parseOutcome_t outcome;
    const int highest = highestParameterIndex();
    std::vector<bool> found(static_cast<std::size_t>(highest) + 1, false);
    int toolRows = 0;
    bool glueFound = false;
    bool glueSectionSeen = false;
    // Lines are compared in the code page, as the file holds them.
    static const std::string toolsHeading = wstrToStr(toolsParametersHeading);
    static const std::string glueHeading = wstrToStr(glueParametersHeading);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        if (line.size() > 3 && line.compare(0, 2, "//") == 0) {
            if (comment != nullptr)
                *comment += strToWstr(line.substr(3)) + L"\r\n";
            continue;
        }
        if (line == toolsHeading) {
            toolRows = readToolRows(in, image);
            continue;
        }
        if (line == glueHeading) {
            std::vector<glueProfile_t> read;
            glueFound = readGlueProfiles(in, read, image, compactGlue);
            glueSectionSeen = true;
            if (profiles != nullptr)
                *profiles = std::move(read);
            continue;
        }
        const machineParam_t* param = findDefinition(line);
        if (param == nullptr || param->index() > highest)
            continue;
        const int i = param->index();
        std::int32_t value = 0;
        if (!(in >> value)) {
            outcome.stoppedAtValue = true;
            break;
        }
        if (static_cast<std::size_t>(i) < image.size())
            image[i] = value;
        found[i] = true;
    }

    outcome.glueSectionSeen = glueSectionSeen;
    int missing = 0;
    for (int i = 1; i <= highest; ++i) {
        const machineParam_t* param = parameterAt(i);
        if (param == nullptr || found[i])
            continue;
        if (++missing > 25) {
            outcome.errorText += std::wstring(L"\n") + tooManyMissingText + L"\n";
            outcome.tooManyMissing = true;
            return outcome;
        }
        outcome.errorText += param->name() + L"\n";
    }
    if (toolRows < paramLayout::toolCount)
        outcome.errorText += L"\n" + toStr(paramLayout::toolCount - toolRows) + toolInfosMissingText + L"\n";
    if (!glueFound)
        outcome.errorText += std::wstring(L"\n") + glueProfilesMissingText + L"\n";
    return outcome;
}

namespace {

// readParametersText, telling also whether the reading ended at a value that
// does not read.
std::wstring readText(const std::string& text, std::span<std::int32_t> image, bool compactGlue,
                      std::vector<glueProfile_t>* profiles, std::wstring* comment, bool* applied,
                      bool* stoppedAtValue) {
    if (applied != nullptr)
        *applied = false;
    if (text.size() > parametersFileLimit)
        return refusedText();
    // A file cut short ends inside a line; its last glue profile would be
    // dropped without a word.
    if (looksBinary(text) || (!text.empty() && text.back() != '\n'))
        return refusedText();

    // Parsed into copies, so that a refused file changes nothing.
    std::vector<std::int32_t> copy(image.begin(), image.end());
    std::vector<glueProfile_t> readProfiles;
    std::wstring readComment;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    parseOutcome_t outcome = parseParameters(in, copy, compactGlue, &readProfiles, &readComment);
    if (stoppedAtValue != nullptr)
        *stoppedAtValue = outcome.stoppedAtValue;
    if (outcome.tooManyMissing)
        return outcome.errorText;

    std::copy(copy.begin(), copy.end(), image.begin());
    if (profiles != nullptr && outcome.glueSectionSeen)
        *profiles = std::move(readProfiles);
    if (comment != nullptr)
        *comment += readComment;
    if (applied != nullptr)
        *applied = true;
    return outcome.errorText;
}

} // namespace

std::wstring readParametersFile(const std::wstring& path, std::span<std::int32_t> image, bool compactGlue,
                                std::vector<glueProfile_t>* profiles, std::wstring* comment, bool* applied) {
    if (applied != nullptr)
        *applied = false;
    std::string text;
    if (const std::optional<std::wstring> refusal = loadFileText(path, text))
        return *refusal;
    return readParametersText(text, image, compactGlue, profiles, comment, applied);
}

std::wstring readWholeParametersFile(const std::wstring& path, std::span<std::int32_t> image, bool compactGlue) {
    std::string text;
    if (const std::optional<std::wstring> refusal = loadFileText(path, text))
        return *refusal;
    // Read by the format's rules first: a file that is no parameters file at
    // all is named as such, not by its first line.
    std::vector<std::int32_t> copy(image.begin(), image.end());
    bool applied = false;
    bool stoppedAtValue = false;
    const std::wstring errorText =
        readText(text, copy, compactGlue, nullptr, nullptr, &applied, &stoppedAtValue);
    // One whose reading ended at a damaged value is a parameters file: the
    // check names the line, as it does for a damaged value further down.
    if (!applied && !stoppedAtValue)
        return errorText;
    if (const std::optional<parametersFileFault_t> fault = checkParametersText(text, compactGlue))
        return fault->text();
    if (!applied)
        return errorText;
    // What remains of the reader's text names the parameters the file does
    // not hold: they keep the image's values.
    std::copy(copy.begin(), copy.end(), image.begin());
    return L"";
}

std::wstring readParametersText(const std::string& text, std::span<std::int32_t> image, bool compactGlue,
                                std::vector<glueProfile_t>* profiles, std::wstring* comment, bool* applied) {
    return readText(text, image, compactGlue, profiles, comment, applied, nullptr);
}
