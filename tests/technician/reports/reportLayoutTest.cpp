// The two printed reports laid out on a page of 1000 x 3200 device units,
// with a text width of 10 units per character for the error report's wrap.
#include "technician/reports/errorReportLayout.h"
#include "technician/reports/parameterListLayout.h"

#include <gtest/gtest.h>

namespace {

constexpr int pageWidth = 1000;
constexpr int pageHeight = 3200;

struct listCase_t {
    int rows;
    int lineHeight;   // H / (max(rows, 13) + 2)
    int secondRowY;   // H/5 + (4H/5 - H/5) / (rows - 1), whole
};

class ParameterListLayout : public ::testing::TestWithParam<listCase_t> {};

TEST_P(ParameterListLayout, RowsSpanTheMiddleOfThePage)
{
    const listCase_t c = GetParam();
    parameterRows_t rows;
    for (int i = 0; i < c.rows; ++i)
        rows.emplace_back(L"Param " + std::to_wstring(i), std::to_wstring(i) + L".000 mm");
    const printedPage_t page = layoutParameterList(pageWidth, pageHeight, 12, rows, L"2.0", L"12/9/2026 2:05 PM");

    const int h = c.lineHeight;
    EXPECT_EQ(page.fonts, (std::vector<printedFont_t>{{h / 2, 700}, {h / 2, 400}, {h / 4, 400}}));
    ASSERT_EQ(page.lines.size(), static_cast<std::size_t>(c.rows) + 3);
    const printedLine_t& title = page.lines.front();
    EXPECT_EQ(std::make_tuple(title.x, title.y, title.text, title.colour, title.font),
              std::make_tuple(100, 320, std::wstring(L"Parameters List For Machine #12"), 0x0000ffu, std::size_t{0}));
    const printedLine_t& first = page.lines[1];
    const printedLine_t& last = page.lines[static_cast<std::size_t>(c.rows)];
    EXPECT_EQ(first.text, L"Param 0 = 0.000 mm");
    EXPECT_EQ(std::make_tuple(first.x, first.y, first.colour, first.font),
              std::make_tuple(100, 640, 0u, std::size_t{1}));
    EXPECT_EQ(last.y, c.rows == 1 ? 640 : 2560);
    if (c.rows > 1) {
        EXPECT_EQ(page.lines[2].y, c.secondRowY);
    }
    const printedLine_t& version = page.lines[page.lines.size() - 2];
    const printedLine_t& date = page.lines.back();
    EXPECT_EQ(std::make_tuple(version.y, version.text, version.colour, version.font),
              std::make_tuple(2880, std::wstring(L"Software Version 2.0"), 0xc00000u, std::size_t{2}));
    EXPECT_EQ(std::make_tuple(date.y, date.text, date.colour),
              std::make_tuple(2880 + h / 4, std::wstring(L"Date of print: 12/9/2026 2:05 PM"), 0xc00000u));
}

INSTANTIATE_TEST_SUITE_P(Rows, ParameterListLayout,
                         ::testing::Values(listCase_t{1, 213, 0}, listCase_t{13, 213, 800},
                                           listCase_t{30, 100, 706}),
                         [](const auto& info) { return "Of" + std::to_string(info.param.rows); });

struct reportCase_t {
    const char* name;
    std::wstring description;
    std::vector<std::wstring> lines;  // the description's lines as printed
};

class ErrorReportLayout : public ::testing::TestWithParam<reportCase_t> {};

TEST_P(ErrorReportLayout, WrapsTheDescriptionAtEightTenthsOfTheWidth)
{
    errorReportTexts_t texts;
    texts.machineNumber = 7;
    texts.errorText = L"XY HOME ERROR";
    texts.dateTime = L"12/9/2026 2:05 PM";
    texts.description = GetParam().description;
    texts.modelName = L"Bracket";
    texts.layerNumber = 42;
    const printedPage_t page = layoutErrorReport(
        pageWidth, pageHeight, texts, [](const std::wstring& text) { return static_cast<int>(text.size()) * 10; });

    EXPECT_EQ(page.fonts, (std::vector<printedFont_t>{{100, 400}}));
    const auto& expected = GetParam().lines;
    ASSERT_EQ(page.lines.size(), expected.size() + 5);
    const std::vector<std::tuple<int, std::wstring, std::uint32_t>> head = {
        {320, L"Error Report For Machine #7", 0x808d52}, {640, L"XY HOME ERROR", 0x0000ff},
        {960, L"Date / Time: 12/9/2026 2:05 PM", 0xc00000}};
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(std::make_tuple(page.lines[i].y, page.lines[i].text, page.lines[i].colour), head[i]);
    int y = 960;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        y += 160;
        EXPECT_EQ(std::make_tuple(page.lines[3 + i].x, page.lines[3 + i].y, page.lines[3 + i].text),
                  std::make_tuple(100, y, expected[i]));
    }
    const printedLine_t& model = page.lines[page.lines.size() - 2];
    const printedLine_t& layer = page.lines.back();
    EXPECT_EQ(std::make_tuple(model.y, model.text, model.colour),
              std::make_tuple(y + 160 + 320, std::wstring(L"Model Name: Bracket"), 0xa7389eu));
    EXPECT_EQ(std::make_tuple(layer.y, layer.text, layer.colour),
              std::make_tuple(y + 480 + 320, std::wstring(L"Layer #: 42"), 0x7c1dc2u));
}

const std::wstring longWord(85, L'x');
const std::wstring word16 = L"abcdefghijklmno";  // 15 characters, 16 with its blank

INSTANTIATE_TEST_SUITE_P(
    Descriptions, ErrorReportLayout,
    ::testing::Values(
        reportCase_t{"Short", L"Motor X  stalled\r\n", {L"Motor X stalled "}},
        // One word wider than 0.8 W has a line of its own, then the
        // (empty) rest follows.
        reportCase_t{"OneLongWord", longWord, {longWord + L" ", L""}},
        // Five words of 16 make 80, not wider than 0.8 W; the sixth starts
        // the next line.
        reportCase_t{"SixWordsThenOne",
                     word16 + L" " + word16 + L" " + word16 + L" " + word16 + L" " + word16 + L" " + word16 + L"\tend",
                     {word16 + L" " + word16 + L" " + word16 + L" " + word16 + L" " + word16 + L" ",
                      word16 + L" end "}},
        reportCase_t{"ShortThenLong", L"short " + longWord + L" x", {L"short ", longWord + L" ", L"x "}},
        reportCase_t{"Empty", L"", {L""}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
