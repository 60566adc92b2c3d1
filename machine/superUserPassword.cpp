#include "machine/superUserPassword.h"

#include "machine/globalNames.h"
#include "machine/registryUtils.h"

namespace {

std::wstring storedPassword() {
    return regReadString(qvrCommRegistryKey, superUserValueName, L"", HKEY_LOCAL_MACHINE);
}

} // namespace

std::wstring mirrorText(const std::wstring& text) {
    std::wstring mirrored = text;
    for (wchar_t& c : mirrored) {
        // Characters outside ASCII are kept, so that the mapping stays its
        // own inverse whatever the text holds.
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(L'a' + L'z' - c);
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(L'A' + L'Z' - c);
        else if (c >= L'0' && c <= L'9')
            c = static_cast<wchar_t>(L'0' + L'9' - c);
    }
    return mirrored;
}

bool isSuperUserPasswordSet() {
    return !storedPassword().empty();
}

bool checkSuperUserPassword(const std::wstring& text) {
    const std::wstring stored = storedPassword();
    return !stored.empty() && text == mirrorText(stored);
}

bool setSuperUserPassword(const std::wstring& oldText, const std::wstring& newText) {
    if (!checkSuperUserPassword(oldText))
        return false;
    return regWriteString(qvrCommRegistryKey, superUserValueName, mirrorText(newText), HKEY_LOCAL_MACHINE);
}
