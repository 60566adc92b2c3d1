#include "procedures/script/beep.h"

#include "platform/beep.h"

std::int32_t beep_t::exec()
{
    ::beep();
    return 0;
}
