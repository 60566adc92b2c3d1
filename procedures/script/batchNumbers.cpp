#include "procedures/script/batchNumbers.h"

#include "machine/textUtils.h"
#include "machine/wstr.h"

std::string batchSignedText(std::int32_t value)
{
    return wstrToStr(toStr(static_cast<int>(value)));
}

std::string batchUnsignedText(std::uint32_t value)
{
    return wstrToStr(toStr(static_cast<unsigned>(value)));
}
