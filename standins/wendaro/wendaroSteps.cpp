#include "standins/wendaro/wendaroSteps.h"

#include <stdexcept>
#include <utility>

wendaroSteps_t::wendaroSteps_t(std::initializer_list<wendaroStep_t> steps)
{
    for (const wendaroStep_t& step : steps)
        push_back(step);
}

void wendaroSteps_t::push_back(wendaroStep_t step)
{
    if (count_ == capacity)
        throw std::length_error("more steps than one answer holds");
    steps_[count_++] = std::move(step);
}
