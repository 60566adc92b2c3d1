#include "installer/shellLink.h"

#include "platform/codePage.h"
#include "platform/fileHandle.h"
#include "platform/lastError.h"

namespace {

hresult_t resultFromLastError() {
    const DWORD error = getLastError();
    if (error == ERROR_SUCCESS)
        return static_cast<hresult_t>(0x80004005u); // unspecified failure
    return static_cast<hresult_t>(0x80070000u | (error & 0xFFFFu));
}

} // namespace

hresult_t saveShellLink(const std::wstring& target, const std::wstring& description,
                        const std::wstring& linkPath) {
    const std::string text =
        "[Link]\nTarget=" + wideToUtf8(target) + "\nDescription=" + wideToUtf8(description) + "\n";
    fileHandle_t file;
    if (!file.open(linkPath, "w"))
        return resultFromLastError();
    const bool written = file.write(text.data(), text.size());
    if (!file.close() || !written)
        return resultFromLastError();
    return S_OK;
}
