#include "procedures/script/batchStackGuard.h"

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

// The lowest stack address this thread may reach while a script is parsed
// or run; 0 when the stack's bounds are unknown.
std::uintptr_t findLimit()
{
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return 0;
    void* low = nullptr;
    std::size_t size = 0;
    int result = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    if (result != 0 || low == nullptr || size == 0)
        return 0;
    // Keep a quarter of the stack, at most 1 MiB, for what runs below the
    // last check (a built-in, the C library, a sanitizer's own frames).
    std::size_t margin = size / 4;
    if (margin > (std::size_t{1} << 20))
        margin = std::size_t{1} << 20;
    return reinterpret_cast<std::uintptr_t>(low) + margin;
}

}  // namespace

bool batchStackGuard_t::nearLimit()
{
    thread_local const std::uintptr_t limit = findLimit();
    auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return limit != 0 && here < limit;
}

void batchStackGuard_t::check()
{
    if (nearLimit())
        throw std::runtime_error("nesting too deep");
}
