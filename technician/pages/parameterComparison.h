// The text that tells a technician how a machine's parameter memory differs
// from its factory image: parameters, the Open Door independent part of
// "Machine Flags", the fields of the named tools and the glue profiles.
// The page stores the factory values of its listed rows into the current
// image first, so that what the list already shows is not repeated here.
#pragma once
#include <cstdint>
#include <span>
#include <string>

struct comparedImage_t {
    // A parameter memory laid out like words 0-383 (the factory block of a
    // 1024-word memory starts at word 384 and still has that layout).
    std::span<const std::int32_t> words;
    // The glue table's form: compact from embedded version 1120 on (and
    // always in the built-in default record).
    bool compactGlue = true;
};

// One line, ended by CR LF, per difference.
std::wstring parameterComparisonText(const comparedImage_t& current, const comparedImage_t& factory);
