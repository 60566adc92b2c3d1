// simRing_t<T>: the newest items of an endless stream (the events a printer
// keeps for its server), at most `capacity` of them, oldest first.
//
// The items sit in blocks of blockSize, each allocated at its full size when
// the one before is full; once the capacity is reached a new item takes the
// oldest one's place. A simulated printer adds events for most changes it
// goes through: an allocation per item or per few items, or moving them all
// when one array grows, would cost more than the items themselves, and a
// block stays an ordinary piece of memory however long the stream gets.
// Not locked: its owner serialises.
#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

template <class T>
class simRing_t {
public:
    explicit simRing_t(std::size_t capacity, std::size_t blockSize = 64)
        : capacity_(capacity), blockSize_(std::max<std::size_t>(blockSize, 1))
    {
    }

    // Puts the item in as the newest: after the others while there is room,
    // in the oldest one's place once the ring is full; dropped when the
    // capacity is 0.
    void push(T&& item)
    {
        if (capacity_ == 0)
            return;
        if (size_ < capacity_) {
            const std::size_t block = size_ / blockSize_;
            if (block == blocks_.size()) {
                blocks_.emplace_back();
                blocks_.back().reserve(std::min(blockSize_, capacity_ - size_));
            }
            blocks_[block].push_back(std::move(item));
            ++size_;
            return;
        }
        at(oldest_) = std::move(item);
        oldest_ = oldest_ + 1 == size_ ? 0 : oldest_ + 1;
    }

    // visit(item) oldest first, until it returns true.
    template <class visit_t>
    void visit(visit_t&& visit) const
    {
        visitIn(*this, visit);
    }
    template <class visit_t>
    void visit(visit_t&& visit)
    {
        visitIn(*this, visit);
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Keeps the blocks for the next items.
    void clear()
    {
        for (std::vector<T>& block : blocks_)
            block.clear();
        size_ = 0;
        oldest_ = 0;
    }

private:
    T& at(std::size_t index) { return blocks_[index / blockSize_][index % blockSize_]; }

    template <class ring_t, class visit_t>
    static void visitIn(ring_t& ring, visit_t& visit)
    {
        for (std::size_t i = ring.oldest_; i < ring.size_; ++i)
            if (visit(ring.blocks_[i / ring.blockSize_][i % ring.blockSize_]))
                return;
        for (std::size_t i = 0; i < ring.oldest_; ++i)
            if (visit(ring.blocks_[i / ring.blockSize_][i % ring.blockSize_]))
                return;
    }

    std::size_t capacity_;
    std::size_t blockSize_;
    std::vector<std::vector<T>> blocks_;
    std::size_t size_ = 0;
    std::size_t oldest_ = 0;  // the oldest item once the ring is full
};
