#include "procedures/script/numberBuiltins.h"

#include "platform/crtRand.h"

#include <cmath>

std::int32_t rand_t::exec()
{
    return crtRand();
}

std::int32_t sqrt_t::exec()
{
    double value = std::fabs(static_cast<double>(argument(0)));
    return static_cast<std::int32_t>(std::sqrt(value));
}
