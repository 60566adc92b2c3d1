// The rules by which the Run Tests page refuses a test or chooses its
// numbers, kept apart from the page so that they read as plain code: the
// building gate, the repeat count of the pens-taking test and the limits of
// the block test. Texts are the page's error boxes.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct testRules_t {
    // Radio ids of the tests that run while a model is still on the table:
    // the knife and the pens need no fresh layer.
    static constexpr int cuttingKnifeTest = 1066;
    static constexpr int pensTakingTest = 1067;

    static constexpr std::uint32_t buildingFlag = 0x200;       // status flags bit 9
    static constexpr std::uint32_t modelOnTableFlag = 0x4000;  // status flags bit 14
    static constexpr int defaultRepeats = 8;
    static constexpr std::int32_t maxBlockLayers = 1998;
    // The empty model's width is the length in nanometres; beyond this many
    // millimetres that no longer fits in 32 bits.
    static constexpr std::int32_t maxBlockLengthMm = 2147;

    // The error text that refuses the test while the machine builds, or
    // nothing when the test may run.
    static std::optional<std::wstring> buildingRefusal(int testId, std::uint32_t statusFlags);
    // An edit's text read as a signed integer (leading blanks and trailing
    // text ignored); nothing when it does not start with a number or does
    // not fit in 32 bits.
    static std::optional<std::int32_t> readInteger(const std::wstring& text);
    // The pens-taking rounds: the edit's number, 8 when there is none above 0.
    static std::int32_t repeatCount(const std::wstring& text);
    // The error text that refuses a block of these layers and millimetres,
    // or nothing when it can be built.
    static std::optional<std::wstring> blockRefusal(const std::wstring& layers, const std::wstring& lengthMm);
};
