// simModelFile_t: what the simulated printer needs of a model file: its
// layers, their thickness, its length and height and its name.
//
// The system writes one model format itself (the empty model):
//   "$ 0 0 0 0 0 H W T NAME"   H height, W length, both in 10-micron units;
//                              T layer thickness in nanometres
//   "@ W" and "#"              once per layer
//   "" and "$"                 the end
// A file without that header (a slicer's own output) is built as 100 layers
// of 168000 nm named after the file title; the printer never needs the
// drawings themselves.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

class simModelFile_t {
public:
    static constexpr std::int32_t maxLayers = 1999;  // the client keeps 2000 records, 0 included
    static constexpr std::int32_t defaultThickness = 168000;
    static constexpr std::int32_t fallbackLayers = 100;

    std::wstring path;
    std::string name;           // narrow, as the model information carries it
    std::int32_t layers = 0;
    std::int32_t thickness = defaultThickness;  // nm
    std::int64_t length = 0;    // nm
    std::int64_t height = 0;    // nm
    std::int64_t fileSize = 0;  // bytes

    // Reads the file by its system path. Nothing when it cannot be read,
    // when it is larger than a model file can sensibly be, or when it
    // describes no layer at all; more than 1999 layers are cut to 1999.
    static std::optional<simModelFile_t> read(const std::wstring& path);
    // The same from the file's text (tests, and models the printer makes).
    static std::optional<simModelFile_t> parse(const std::string& text, const std::wstring& path);
};
