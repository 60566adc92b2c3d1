#include "procedures/script/batchNodeArena.h"

#include <atomic>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QVR_NODE_ARENA 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QVR_NODE_ARENA 0
#endif
#endif
#ifndef QVR_NODE_ARENA
#define QVR_NODE_ARENA 1
#endif

#if QVR_NODE_ARENA

namespace {

constexpr std::size_t blockSize = 64 * 1024;
// Larger nodes (none of the language's is near this) come from the general
// allocator.
constexpr std::size_t largestCarved = 1024;

struct block_t {
    // Nodes freed are subtracted at once; the nodes carved are added when
    // the thread leaves the block. Whoever brings it to 0 frees the block.
    std::atomic<std::int64_t> live{0};
};

// In front of every node: its block, or null for a node of the general
// allocator. 16 bytes keep nodes as aligned as the general allocator's.
struct alignas(16) header_t {
    block_t* block;
};
static_assert(sizeof(header_t) == 16);

constexpr std::size_t roundUp(std::size_t size) { return (size + 15) & ~std::size_t{15}; }
constexpr std::size_t blockStart = roundUp(sizeof(block_t));

void destroy(block_t* block)
{
    block->~block_t();
    ::operator delete(block);
}

struct threadBlock_t {
    block_t* block = nullptr;
    char* next = nullptr;
    char* end = nullptr;
    std::int64_t carved = 0;

    threadBlock_t() = default;
    threadBlock_t(const threadBlock_t&) = delete;
    threadBlock_t& operator=(const threadBlock_t&) = delete;
    ~threadBlock_t() { leave(); }

    void leave()
    {
        if (block == nullptr)
            return;
        if (block->live.fetch_add(carved, std::memory_order_acq_rel) + carved == 0)
            destroy(block);
        block = nullptr;
        next = end = nullptr;
        carved = 0;
    }

    void enterNew()
    {
        leave();
        void* memory = ::operator new(blockSize);
        block = new (memory) block_t;
        next = static_cast<char*>(memory) + blockStart;
        end = static_cast<char*>(memory) + blockSize;
    }
};

thread_local threadBlock_t threadBlock;

}  // namespace

void* batchNodeArena_t::allocate(std::size_t size)
{
    const std::size_t total = sizeof(header_t) + roundUp(size);
    header_t* header = nullptr;
    if (size > largestCarved) {
        header = static_cast<header_t*>(::operator new(total));
        header->block = nullptr;
        return header + 1;
    }
    threadBlock_t& current = threadBlock;
    if (static_cast<std::size_t>(current.end - current.next) < total)
        current.enterNew();
    header = reinterpret_cast<header_t*>(current.next);
    current.next += total;
    ++current.carved;
    header->block = current.block;
    return header + 1;
}

void batchNodeArena_t::release(void* node) noexcept
{
    if (node == nullptr)
        return;
    header_t* header = static_cast<header_t*>(node) - 1;
    block_t* block = header->block;
    if (block == nullptr) {
        ::operator delete(header);
        return;
    }
    if (block->live.fetch_sub(1, std::memory_order_acq_rel) - 1 == 0)
        destroy(block);
}

#else

void* batchNodeArena_t::allocate(std::size_t size)
{
    return ::operator new(size);
}

void batchNodeArena_t::release(void* node) noexcept
{
    ::operator delete(node);
}

#endif
