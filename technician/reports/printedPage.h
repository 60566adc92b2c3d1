// A printed page as plain data, laid out in the printer's device units
// before anything is drawn, so that the layouts can be checked without a
// printer: the fonts the page uses and its lines of text, each placed by
// the top of its text and drawn in a colour 0x00BBGGRR.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct printedFont_t {
    int height = 0;  // the cell height
    int weight = 400;
    bool operator==(const printedFont_t&) const = default;
};

struct printedLine_t {
    int x = 0;
    int y = 0;
    std::wstring text;
    std::uint32_t colour = 0;
    std::size_t font = 0;  // index into printedPage_t::fonts
};

struct printedPage_t {
    std::vector<printedFont_t> fonts;
    std::vector<printedLine_t> lines;
};
