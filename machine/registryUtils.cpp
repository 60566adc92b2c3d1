#include "machine/registryUtils.h"

#include "machine/wstr.h"
#include "platform/codePage.h"
#include "platform/registry.h"

#include <locale>
#include <sstream>

namespace {

// The buffer the value is read into; longer data do not fit.
constexpr std::size_t valueBufferBytes = 1024;

}  // namespace

std::wstring regReadString(const std::wstring& keyPath, const std::wstring& valueName,
                           const std::wstring& defaultText, HKEY root)
{
    if (registryOpenKey(root, keyPath) != ERROR_SUCCESS)
        return defaultText;
    registryValue_t value;
    if (registryQueryValue(root, keyPath, valueName, value) != ERROR_SUCCESS)
        return defaultText;
    if (value.data.size() > valueBufferBytes)
        return defaultText;
    // UTF-16LE units up to the first zero; data without a terminator end
    // with the buffer.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0)
            break;
        units += unit;
    }
    return utf16ToWide(units);
}

bool regWriteString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text,
                    HKEY root)
{
    if (registryCreateKey(root, keyPath) != ERROR_SUCCESS)
        return false;
    registryValue_t value;
    value.type = REG_SZ;
    value.data = registryTextData(text);
    return registrySetValue(root, keyPath, valueName, value) == ERROR_SUCCESS;
}

bool regWriteInt(const std::wstring& keyPath, const std::wstring& valueName, int value, HKEY root)
{
    return regWriteString(keyPath, valueName, toStr(value), root);
}

int regReadInt(const std::wstring& keyPath, const std::wstring& valueName, int defaultValue, HKEY root)
{
    std::wistringstream in(regReadString(keyPath, valueName, toStr(defaultValue), root));
    in.imbue(std::locale::classic());
    int value = 0;
    if (!(in >> value))
        return defaultValue;
    return value;
}

DWORD regDeleteValue(const std::wstring& keyPath, const std::wstring& valueName, HKEY root)
{
    DWORD result = registryOpenKey(root, keyPath);
    if (result != ERROR_SUCCESS)
        return result;
    return registryDeleteValue(root, keyPath, valueName);
}
