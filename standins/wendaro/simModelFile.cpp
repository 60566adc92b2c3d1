#include "standins/wendaro/simModelFile.h"

#include "machine/fileUtils.h"
#include "machine/textFileIo.h"
#include "machine/textUtils.h"

#include <cstdlib>
#include <limits>
#include <sstream>
#include <vector>

namespace {

// Model files of real builds run to a few megabytes; anything far beyond
// is not a model and is not read into memory.
constexpr std::size_t readLimit = 64u * 1024u * 1024u;

std::vector<std::string> fieldsOf(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    std::string field;
    while (in >> field)
        fields.push_back(field);
    return fields;
}

// A whole decimal number (optional sign), else nothing.
std::optional<std::int64_t> numberOf(const std::string& text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return text[0] == '-' ? -value : value;
}

constexpr std::int64_t nanometresPerUnit = 10000;  // a header's dimensions are in 10-micron units

bool fitsInNanometres(std::int64_t units)
{
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / nanometresPerUnit;
    return units >= -limit && units <= limit;
}

}  // namespace

std::optional<simModelFile_t> simModelFile_t::read(const std::wstring& path)
{
    std::string text;
    if (readTextFileBounded(path, readLimit, text) != textFileRead_e::ok_e)
        return std::nullopt;
    auto model = parse(text, path);
    if (model)
        model->fileSize = getFileSize(path);
    return model;
}

std::optional<simModelFile_t> simModelFile_t::parse(const std::string& text, const std::wstring& path)
{
    if (text.find_first_not_of(" \t\r\n\x1a") == std::string::npos)
        return std::nullopt;
    simModelFile_t model;
    model.path = path;
    model.fileSize = static_cast<std::int64_t>(text.size());

    std::istringstream in(text);
    std::string line;
    bool headerFound = false;
    std::int64_t layers = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> fields = fieldsOf(line);
        if (fields.empty())
            continue;
        if (!headerFound && fields[0] == "$" && fields.size() >= 9) {
            // "$ 0 0 0 0 0 H W T NAME": the name may hold blanks.
            const auto height = numberOf(fields[6]);
            const auto width = numberOf(fields[7]);
            const auto thickness = numberOf(fields[8]);
            if (!height || !width || !thickness)
                continue;
            // Dimensions are scaled to nanometres below; one that would not
            // fit is no model's and reads as an unreadable header.
            if (!fitsInNanometres(*height) || !fitsInNanometres(*width))
                continue;
            headerFound = true;
            model.height = *height * nanometresPerUnit;
            model.length = *width * nanometresPerUnit;
            if (*thickness > 0 && *thickness <= 10000000)
                model.thickness = static_cast<std::int32_t>(*thickness);
            std::string name;
            for (std::size_t i = 9; i < fields.size(); ++i)
                name += (i > 9 ? " " : "") + fields[i];
            model.name = name;
        } else if (headerFound && fields[0] == "@") {
            ++layers;
        }
    }

    const std::string title = wstrToStr(getFileTitle(path));
    if (!headerFound) {
        model.layers = fallbackLayers;
        model.thickness = defaultThickness;
        model.name = title;
        model.length = 50000000;
        model.height = static_cast<std::int64_t>(fallbackLayers) * defaultThickness;
        return model;
    }
    if (layers == 0)
        return std::nullopt;
    model.layers = static_cast<std::int32_t>(layers > maxLayers ? maxLayers : layers);
    if (model.name.empty())
        model.name = title;
    return model;
}
