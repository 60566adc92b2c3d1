// simRandom_t: the simulated printer's one source of noise. A fixed seed
// gives the same layer records run after run, on every compiler (no
// standard distribution, whose results differ between libraries).
#pragma once
#include <cstdint>

class simRandom_t {
public:
    explicit simRandom_t(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}

    std::uint32_t next()
    {
        // xorshift32
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // A value in [low, high].
    int between(int low, int high)
    {
        if (high <= low)
            return low;
        const auto span = static_cast<std::uint32_t>(high - low) + 1u;
        return low + static_cast<int>(next() % span);
    }

private:
    std::uint32_t state_;
};
