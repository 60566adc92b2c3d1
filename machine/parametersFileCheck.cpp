#include "machine/parametersFileCheck.h"

#include "machine/globalNames.h"
#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/textUtils.h"
#include "machine/toolInfo.h"
#include "machine/wstr.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <locale>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

using lines_t = std::vector<std::string_view>;

lines_t splitLines(const std::string& text) {
    lines_t lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.emplace_back(text.data() + start, end - start);
        start = end + 1;
    }
    return lines;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), isBlank);
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// A whole decimal number with an optional sign; one beyond the 64-bit range
// saturates (it fits no field either).
std::optional<long long> wholeNumber(std::string_view field) {
    const bool negative = !field.empty() && field.front() == '-';
    if (!field.empty() && (field.front() == '+' || negative))
        field.remove_prefix(1);
    if (field.empty() ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    unsigned long long magnitude = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), magnitude);
    (void)end;
    if (error != std::errc() || magnitude > static_cast<unsigned long long>(LLONG_MAX))
        return negative ? LLONG_MIN : LLONG_MAX;
    const auto value = static_cast<long long>(magnitude);
    return negative ? -value : value;
}

// A line that holds one whole number and nothing else.
std::optional<long long> wholeNumberLine(std::string_view line) {
    const std::vector<std::string_view> fields = fieldsOf(line);
    return fields.size() == 1 ? wholeNumber(fields[0]) : std::nullopt;
}

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// The ten fields of a tool row, by position after the tool number.
constexpr int rowFields[] = {toolInfo_t::location_e, toolInfo_t::dzPenUpDown_e,  toolInfo_t::dzTableUp_e,
                             toolInfo_t::speed_e,    toolInfo_t::refillLength_e, toolInfo_t::refillTime_e,
                             toolInfo_t::diameter_e};

bool isSwitchWord(std::string_view word) {
    return word == "ON" || word == "OFF";
}

// A drop or key as the compact form keeps it: the value divided (truncated)
// into an unsigned 16-bit field.
bool fitsCompact(std::int32_t value, std::int32_t unit) {
    const std::int32_t stored = value / unit;
    return stored >= 0 && stored <= 0xFFFF;
}

bool fitsGlueFields(const glueProfile_t& profile, bool compact) {
    if (!compact)
        return true; // the full form keeps every 32-bit value as it is
    if (!fitsCompact(profile.key, 10000))
        return false;
    return std::all_of(profile.drops.begin(), profile.drops.end(), [](const glueDrop_t& drop) {
        return fitsCompact(drop.position, 10000) && fitsCompact(drop.amount, 1000);
    });
}

class checker_t {
public:
    checker_t(const std::string& text, bool compactGlue) : lines_(splitLines(text)), compact_(compactGlue) {}

    std::optional<parametersFileFault_t> run();

private:
    // The index of the next non-blank line from `from` on; the line count
    // when there is none.
    std::size_t nextFilled(std::size_t from) const {
        while (from < lines_.size() && isBlankLine(lines_[from]))
            ++from;
        return from;
    }
    // A line index as the file's line number; the end of the file is its last line.
    int lineNumber(std::size_t index) const {
        return static_cast<int>(std::min(index + 1, std::max<std::size_t>(lines_.size(), 1)));
    }
    parametersFileFault_t faultAt(std::size_t index, std::wstring what) const {
        return {lineNumber(index), std::move(what)};
    }
    parametersFileFault_t valueFault(std::size_t index, const std::wstring& name) const {
        return faultAt(index,
                       L"the value of " + quoted(name) + L" is not a whole number that fits in 32 bits");
    }

    std::optional<parametersFileFault_t> checkToolRows(std::size_t& at) const;
    std::optional<parametersFileFault_t> checkGlue(std::size_t heading) const;

    lines_t lines_;
    bool compact_;
};

std::optional<parametersFileFault_t> checker_t::run() {
    static const std::string toolsHeading = wstrToStr(toolsParametersHeading);
    static const std::string glueHeading = wstrToStr(glueParametersHeading);
    const int highest = highestParameterIndex();
    bool toolsSeen = false;
    bool glueSeen = false;
    std::size_t at = 0;
    while (!glueSeen && (at = nextFilled(at)) < lines_.size()) {
        const std::string_view line = lines_[at];
        if (line == machineIdKey) {
            // The writer puts the number on the line after its heading; it is
            // never read, so any 32-bit form is taken.
            const std::size_t valueLine = at + 1;
            const std::optional<long long> value =
                valueLine < lines_.size() ? wholeNumberLine(lines_[valueLine]) : std::nullopt;
            if (!value || *value < INT32_MIN || *value > UINT32_MAX)
                return valueFault(valueLine, strToWstr(machineIdKey));
            at = valueLine + 1;
        } else if (line == toolsHeading) {
            ++at;
            if (auto fault = checkToolRows(at))
                return fault;
            toolsSeen = true;
        } else if (line == glueHeading) {
            if (auto fault = checkGlue(at))
                return fault;
            glueSeen = true;
        } else {
            // Comments, the version lines and the lines of other versions (a
            // parameter this one does not know and its value) are passed over.
            const machineParam_t* param = findDefinition(std::string(line));
            if (param == nullptr || param->index() > highest) {
                ++at;
                continue;
            }
            const std::size_t valueLine = nextFilled(at + 1);
            const std::optional<long long> value =
                valueLine < lines_.size() ? wholeNumberLine(lines_[valueLine]) : std::nullopt;
            if (!value || *value < INT32_MIN || *value > INT32_MAX)
                return valueFault(valueLine, param->name());
            at = valueLine + 1;
        }
    }

    // Parameters the file does not hold keep their values; the two sections
    // it must hold.
    const std::size_t end = lines_.size();
    if (!toolsSeen)
        return faultAt(end, L"the file ends without the " + quoted(toolsParametersHeading) + L" section");
    if (!glueSeen)
        return faultAt(end, L"the file ends without the " + quoted(glueParametersHeading) + L" section");
    return std::nullopt;
}

std::optional<parametersFileFault_t> checker_t::checkToolRows(std::size_t& at) const {
    // The column line is skipped unread, as the reader does.
    if (at < lines_.size())
        ++at;
    for (int row = 0; row < paramLayout::toolCount; ++row) {
        at = nextFilled(at);
        const std::wstring rowText = toStr(row);
        if (at >= lines_.size())
            return faultAt(at, L"tool row " + rowText + L" cannot be read");
        const std::vector<std::string_view> fields = fieldsOf(lines_[at]);
        if (fields.size() != 10 || wholeNumber(fields[0]) != row || !isSwitchWord(fields[8]) ||
            !isSwitchWord(fields[9]))
            return faultAt(at, L"tool row " + rowText + L" cannot be read");
        for (std::size_t k = 0; k < std::size(rowFields); ++k) {
            const std::optional<long long> value = wholeNumber(fields[k + 1]);
            if (!value)
                return faultAt(at, L"tool row " + rowText + L" cannot be read");
            const toolFieldRange_t range = toolFieldRange(rowFields[k]);
            if (!range.holds(*value))
                return faultAt(at, L"tool " + rowText + L": the " + toolFieldName(rowFields[k]) + L" " +
                                       strToWstr(std::string(fields[k + 1])) + L" does not fit its field (" +
                                       toStr(range.lowest) + L" to " + toStr(range.highest) + L")");
        }
        ++at;
    }
    return std::nullopt;
}

std::optional<parametersFileFault_t> checker_t::checkGlue(std::size_t heading) const {
    // The glue section ends the file: every later line holds one profile.
    std::vector<glueProfile_t> profiles;
    for (std::size_t at = nextFilled(heading + 1); at < lines_.size(); at = nextFilled(at + 1)) {
        std::istringstream in{std::string(lines_[at])};
        in.imbue(std::locale::classic());
        glueProfile_t profile;
        if (!profile.read(in) || (in >> std::ws, in.peek() != std::char_traits<char>::eof()))
            return faultAt(at, L"the glue profile cannot be read");
        if (!fitsGlueFields(profile, compact_))
            return faultAt(at, L"a value of the glue profile does not fit its field");
        profiles.push_back(std::move(profile));
    }
    if (profiles.empty())
        return faultAt(heading, L"no glue profile follows " + quoted(glueParametersHeading));
    std::stable_sort(profiles.begin(), profiles.end());
    std::vector<std::int32_t> region(static_cast<std::size_t>(glueRegionBytes(compact_) / 4));
    if (!packGlueTable(profiles, region, compact_))
        return faultAt(heading, L"the glue profiles do not fit the glue table");
    return std::nullopt;
}

} // namespace

std::wstring parametersFileFault_t::text() const {
    return L"Line " + toStr(line) + L": " + what;
}

std::optional<parametersFileFault_t> checkParametersText(const std::string& text, bool compactGlue) {
    return checker_t(text, compactGlue).run();
}
