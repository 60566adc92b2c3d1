// deps: wendaro_core
// Arbitrary text as a model file for the simulated printer: read as a model
// or refused, never more layers than a build can have, never a crash.
#include "standins/wendaro/simModelFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto model = simModelFile_t::parse(text, L"C:/QVR_Printers/QVR_SHARE/fuzz.ZS");
    if (model && (model->layers < 1 || model->layers > simModelFile_t::maxLayers))
        std::abort();
    return 0;
}
