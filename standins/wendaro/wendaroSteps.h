// wendaroSteps_t: the steps of one answer, held in place. An answer takes
// one step, or a few when a scripted fault splits, delays or closes it;
// every client message gets one, so the list costs no allocation of its
// own. More steps than it holds is a mistake in the server: push_back
// throws std::length_error.
#pragma once
#include "standins/wendaro/wendaroStep.h"

#include <array>
#include <cstddef>
#include <initializer_list>

class wendaroSteps_t {
public:
    static constexpr std::size_t capacity = 4;

    wendaroSteps_t() = default;
    wendaroSteps_t(std::initializer_list<wendaroStep_t> steps);

    void push_back(wendaroStep_t step);

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const wendaroStep_t& operator[](std::size_t i) const { return steps_[i]; }
    const wendaroStep_t* begin() const { return steps_.data(); }
    const wendaroStep_t* end() const { return steps_.data() + count_; }

private:
    std::array<wendaroStep_t, capacity> steps_;
    std::size_t count_ = 0;
};
