// simRing_t<T>: the newest items of an endless stream (trace entries, events
// for the server), at most `capacity` of them, oldest first.
//
// The items sit in one array that grows by doubling up to the capacity and
// then turns into a ring where a new item takes the oldest one's place: a
// simulated printer adds items for nearly every packet, and a block per few
// items (or one per item) would cost more than the items themselves.
// Not locked: its owner serialises.
#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

template <class T>
class simRing_t {
public:
    // firstBlock: the room taken at the first item.
    explicit simRing_t(std::size_t capacity, std::size_t firstBlock = 64)
        : capacity_(capacity), firstBlock_(std::max<std::size_t>(firstBlock, 1))
    {
    }

    // Puts the item in as the newest: moved to the end while the ring
    // grows, into the oldest one's place once it is full; dropped when the
    // capacity is 0.
    void push(T&& item)
    {
        if (capacity_ == 0)
            return;
        if (items_.size() < capacity_) {
            // The last growth goes to the capacity and no further.
            if (items_.empty())
                items_.reserve(std::min(capacity_, firstBlock_));
            else if (items_.size() == items_.capacity() && items_.size() > capacity_ / 2)
                items_.reserve(capacity_);
            items_.push_back(std::move(item));
            return;
        }
        items_[oldest_] = std::move(item);
        oldest_ = oldest_ + 1 == items_.size() ? 0 : oldest_ + 1;
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

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // Keeps the room for the next items.
    void clear()
    {
        items_.clear();
        oldest_ = 0;
    }

private:
    template <class ring_t, class visit_t>
    static void visitIn(ring_t& ring, visit_t& visit)
    {
        for (std::size_t i = ring.oldest_; i < ring.items_.size(); ++i)
            if (visit(ring.items_[i]))
                return;
        for (std::size_t i = 0; i < ring.oldest_; ++i)
            if (visit(ring.items_[i]))
                return;
    }

    std::size_t capacity_;
    std::size_t firstBlock_;
    std::vector<T> items_;
    std::size_t oldest_ = 0;  // the oldest item once the ring is full
};
