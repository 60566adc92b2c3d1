// deps: platform
// Any bytes as a registry file: parsing never fails hard, and what we write
// back reads again as the same keys and values, with no unreadable line.
#include "platform/registryHive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    registryHive_t hive;
    hive.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string text = hive.text();

    registryHive_t again;
    if (again.parse(text) != 0) std::abort();
    if (!again.sameContent(hive)) std::abort();
    // Writing is stable: a second round gives the same text.
    if (again.text() != text) std::abort();
    return 0;
}
