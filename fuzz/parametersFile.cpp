// deps: machine
// Arbitrary text as a parameters file, read from memory into a memory image
// as the device reads its own and the technician's files. A file that is
// refused must leave the image, the profile list and the comment untouched;
// whatever was read writes again as a file that reads back to the same image.
// A file that the strict check passes reads by the format's rules with its
// twelve tool rows and its glue profiles: only parameters the file does not
// hold may be missing (the two readings never disagree on what is whole).
//
// Input: byte 0 chooses the reading (bit 0: the compact glue form, bit 1:
// an image that starts at the factory block, bit 2: the OpenedParams.txt
// reader instead; bits 3 to 5 equal to 1: write what was read and read it
// back); the rest is the file's text as the text mode reads it. One reading
// per input, and a second one for one input in eight, keeps an execution
// short: the writing and second reading cost three times the first.
#include "machine/parametersFile.h"
#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/openedParams.h"
#include "machine/parametersFileCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

void readParameters(const std::string& text, bool compact, bool factoryBlock, bool writeBack) {
    static parameterMemory_t image;
    image = getDefaultParameterTable();
    std::span<std::int32_t> target(image);
    if (factoryBlock)
        target = target.subspan(paramLayout::factoryBlockWord);
    std::vector<glueProfile_t> profiles{glueProfile_t{1, {{2, 3}}}};
    std::wstring comment = L"unchanged";
    bool applied = false;
    const std::wstring error = readParametersText(text, target, compact, &profiles, &comment, &applied);
    if (!applied) {
        if (image != getDefaultParameterTable() || profiles.size() != 1 || profiles[0].key != 1 ||
            comment != L"unchanged" || error.empty())
            std::abort();
        return;
    }
    if ((error.find(toolInfosMissingText) != std::wstring::npos ||
         error.find(glueProfilesMissingText) != std::wstring::npos) &&
        !checkParametersText(text, compact))
        std::abort();
    if (factoryBlock || !writeBack)
        return;
    // What was read writes as a file that reads back to the same words and
    // profiles (the default record's glue reads as none in the full form,
    // and its file then has an empty glue section).
    static parameterMemory_t again;
    again = image;
    std::fill(again.begin() + 1, again.begin() + paramLayout::glueTableWord, 0x5A5A5A5A);
    const std::string written = parametersFileText(image, 0, compact, L"");
    bool reapplied = false;
    const std::wstring reread = readParametersText(written, again, compact, nullptr, nullptr, &reapplied);
    if (!reapplied)
        std::abort();
    constexpr int toolTableEnd = paramLayout::toolTableWord + paramLayout::toolTableBytes / 4;
    for (int i = 1; i < toolTableEnd; ++i)
        if ((i >= paramLayout::toolTableWord || parameterAt(i) != nullptr) && again[i] != image[i])
            std::abort();
    // The compact form keeps the low 16 bits of a key, so a file's key out
    // of its range can land out of order: the second reading sorts again.
    std::vector<glueProfile_t> first;
    std::vector<glueProfile_t> second;
    unpackGlueTable(first, glueRegionOf(std::span<const std::int32_t>(image), compact), compact);
    unpackGlueTable(second, glueRegionOf(std::span<const std::int32_t>(again), compact), compact);
    std::stable_sort(first.begin(), first.end());
    if (first != second)
        std::abort();
    if (!reread.empty() &&
        (!first.empty() || reread != std::wstring(L"\n") + glueProfilesMissingText + L"\n"))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t how = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((how & 4) != 0) {
        static parameterMemory_t image;
        image.fill(0);
        std::istringstream opened(text);
        readOpenedParams(opened, image);
        return 0;
    }
    readParameters(text, (how & 1) != 0, (how & 2) != 0, (how & 0x38) == 0x08);
    return 0;
}
