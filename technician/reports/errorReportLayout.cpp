#include "technician/reports/errorReportLayout.h"

#include "machine/wstr.h"

namespace {

constexpr std::uint32_t titleColour = 0x808d52;
constexpr std::uint32_t errorColour = 0x0000ff;
constexpr std::uint32_t dateColour = 0xc00000;
constexpr std::uint32_t descriptionColour = 0x000000;
constexpr std::uint32_t modelColour = 0xa7389e;
constexpr std::uint32_t layerColour = 0x7c1dc2;

bool isBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n' || ch == L'\v' || ch == L'\f';
}

}  // namespace

printedPage_t layoutErrorReport(int width, int height, const errorReportTexts_t& texts,
                                const textWidth_t& textWidth)
{
    printedPage_t page;
    page.fonts.push_back(printedFont_t{height / 32, 400});
    const int x = width / 10;
    auto add = [&](int y, std::wstring text, std::uint32_t colour) {
        page.lines.push_back(printedLine_t{x, y, std::move(text), colour, 0});
        return y;
    };
    add(height / 10, L"Error Report For Machine #" + toStr(texts.machineNumber), titleColour);
    add(2 * height / 10, texts.errorText, errorColour);
    int y = add(3 * height / 10, L"Date / Time: " + texts.dateTime, dateColour);

    // Each word is followed by a blank. A word that would make the line
    // wider than 0.8 W starts the next line: the line is never sent out
    // with it, because the right margin is only 0.1 W and the word would
    // run off the paper. A word wider than 0.8 W by itself gets a line of
    // its own.
    const long long wrapWidth = 8LL * width / 10;
    std::wstring line;
    std::size_t pos = 0;
    const std::wstring& description = texts.description;
    while (pos < description.size()) {
        while (pos < description.size() && isBlank(description[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < description.size() && !isBlank(description[pos]))
            ++pos;
        if (pos == start)
            break;
        const std::wstring word = description.substr(start, pos - start) + L" ";
        if (!line.empty() && textWidth(line + word) > wrapWidth) {
            y = add(y + height / 20, line, descriptionColour);
            line.clear();
        }
        line += word;
        if (textWidth(line) > wrapWidth) {
            y = add(y + height / 20, line, descriptionColour);
            line.clear();
        }
    }
    y = add(y + height / 20, line, descriptionColour);

    y = add(y + height / 20 + height / 10, L"Model Name: " + texts.modelName, modelColour);
    add(y + height / 10, L"Layer #: " + toStr(texts.layerNumber), layerColour);
    return page;
}
