// Memory for the nodes of script syntax trees. A script of a few thousand
// lines makes a hundred thousand small nodes that all die together when the
// run ends; taken one by one from the general allocator, and given back one
// by one, they cost as much as the rest of the parse. Nodes are carved in
// order from blocks of 64 KiB that the parsing thread holds. A block goes
// back to the general allocator once the thread has left it (it was full,
// or the thread ended) and its last node has been freed, on whatever thread
// that happens. Under AddressSanitizer every node comes from the general
// allocator, so that a node used after it was freed is still found.
#pragma once
#include <cstddef>

class batchNodeArena_t {
public:
    static void* allocate(std::size_t size);
    static void release(void* node) noexcept;
};
