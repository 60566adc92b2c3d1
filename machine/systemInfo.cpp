#include "machine/systemInfo.h"

#include "machine/textUtils.h"
#include "platform/identity.h"
#include "platform/lastError.h"

namespace {

// The sizes of the buffers the system reads these texts into.
constexpr std::size_t computerNameChars = 15;
constexpr std::size_t userNameChars = 1023;
constexpr std::size_t errorTextChars = 1023;

}  // namespace

std::wstring getComputerName()
{
    std::wstring name = computerName();
    if (name.size() > computerNameChars)
        return std::wstring();
    return toUpper(name);
}

std::wstring getUserName()
{
    std::wstring name = userName();
    if (name.size() > userNameChars)
        return std::wstring();
    return name;
}

std::wstring lastErrorText()
{
    std::wstring text = systemErrorText(getLastError());
    if (text.size() > errorTextChars)
        text.resize(errorTextChars);
    return text;
}
