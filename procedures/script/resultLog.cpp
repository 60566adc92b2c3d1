#include "procedures/script/resultLog.h"

#include "procedures/script/resultLogTable.h"

std::int32_t resultLog_t::exec()
{
    auto name = argumentText(0);
    if (name)
        selectResultLog(*name);
    else
        clearResultLogSelection();
    return 0;
}
