// deps: machine
// Arbitrary bytes as a parameters file: written to "C:/fuzz.txt" of the
// temporary prefix and read back into a memory image in both glue forms,
// as the device reads its own and the technician's files. A file that is
// refused must leave the image, the profile list and the comment untouched.
// The same bytes also go through the OpenedParams.txt reader.
#include "machine/parametersFile.h"
#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/openedParams.h"
#include "platform/fileHandle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::wstring fuzzPath = L"C:/fuzz.txt";

bool writeInput(const std::uint8_t* data, std::size_t size) {
    fileHandle_t file;
    if (!file.open(fuzzPath, "wb"))
        return false;
    const bool written = file.write(reinterpret_cast<const char*>(data), size);
    return file.close() && written;
}

void readBack(bool compact) {
    parameterMemory_t image = getDefaultParameterTable();
    const parameterMemory_t before = image;
    std::vector<glueProfile_t> profiles{glueProfile_t{1, {{2, 3}}}};
    std::wstring comment = L"unchanged";
    bool applied = false;
    const std::wstring error = readParametersFile(fuzzPath, image, compact, &profiles, &comment, &applied);
    if (!applied && (image != before || profiles.size() != 1 || profiles[0].key != 1 ||
                     comment != L"unchanged" || error.empty()))
        std::abort();
    // Whatever was read packs and writes again.
    (void)parametersFileText(image, 0, compact, comment);

    // The factory block: an image that ends before a full-form glue region.
    std::span<std::int32_t> factory = std::span<std::int32_t>(image).subspan(paramLayout::factoryBlockWord);
    (void)readParametersFile(fuzzPath, factory, compact, nullptr, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!writeInput(data, size))
        return 0;
    readBack(true);
    readBack(false);

    parameterMemory_t image{};
    std::istringstream opened(std::string(reinterpret_cast<const char*>(data), size));
    readOpenedParams(opened, image);
    return 0;
}
