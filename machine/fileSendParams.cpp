#include "machine/fileSendParams.h"

#include "machine/globalNames.h"
#include "platform/identity.h"

#include <utility>

fileSendParams_t::fileSendParams_t() {
    setInteger(copies_e, 1);
    setInteger(lastLayer_e, 1999);
    setInteger(kind_e, 2);
}

fileSendParams_t::fileSendParams_t(const std::wstring& path_, int32_t kind, int32_t flag,
                                   const std::wstring& name_, int32_t copies, int32_t lastLayer,
                                   int32_t extraValue, int32_t secondFlag, const std::wstring& displayName_)
    : path(path_), displayName(displayName_.empty() ? userName() : displayName_), name(name_) {
    setInteger(copies_e, copies);
    setInteger(secondFlagClear_e, secondFlag == 0 ? 1 : 0);
    setInteger(secondFlag_e, secondFlag);
    setInteger(lastLayer_e, lastLayer);
    setInteger(extraValue_e, extraValue);
    setInteger(flag_e, flag);
    setInteger(pending_e, 1);
    setInteger(kind_e, kind);
}

fileSendParams_t::fileSendParams_t(const fileSendParams_t& other)
    : path(other.path), displayName(other.displayName), text3(other.text3), name(other.name),
      integers(other.integers) {}

fileSendParams_t::fileSendParams_t(fileSendParams_t&& other) noexcept
    : path(std::move(other.path)), displayName(std::move(other.displayName)), text3(std::move(other.text3)),
      name(std::move(other.name)), integers(other.integers) {}

fileSendParams_t& fileSendParams_t::operator=(const fileSendParams_t& other) {
    if (this == &other)
        return *this;
    path = other.path;
    displayName = other.displayName;
    text3 = other.text3;
    name = other.name;
    integers = other.integers;
    closeStreams();
    return *this;
}

fileSendParams_t& fileSendParams_t::operator=(fileSendParams_t&& other) noexcept {
    if (this == &other)
        return *this;
    path = std::move(other.path);
    displayName = std::move(other.displayName);
    text3 = std::move(other.text3);
    name = std::move(other.name);
    integers = other.integers;
    closeStreams();
    return *this;
}

void fileSendParams_t::closeStreams() noexcept {
    if (uploadOutput.is_open())
        uploadOutput.close();
    if (uploadInput.is_open())
        uploadInput.close();
    uploadOutput.clear();
    uploadInput.clear();
}

void fileSendParams_t::resolveBarePath() {
    if (path.find_first_of(L"\\/") != std::wstring::npos)
        return;
    path = getSharedFolder() + L"/" + path;
}

bool fileSendParams_t::operator==(const fileSendParams_t& other) const {
    return path == other.path && displayName == other.displayName && text3 == other.text3 &&
           name == other.name && integers == other.integers;
}
