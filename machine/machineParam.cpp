#include "machine/machineParam.h"

#include "platform/codePage.h"

#include <algorithm>
#include <cwchar>

// Registration lives beside the table (parameterTable.cpp), so that any
// program that builds a descriptor also links the table's own descriptors.
void registerParameter(machineParam_t* param);

machineParam_t::machineParam_t(int byteOffset, const wchar_t* text)
    : index_(byteOffset >= 0 ? byteOffset / 4 : (byteOffset - 3) / 4),
      defaultValue_(index_ >= 0 && index_ < paramLayout::words ? getDefaultParameterTable()[index_] : 0),
      text_(text != nullptr ? text : L"") {
    const std::wstring wide(text_);
    if (std::all_of(wide.begin(), wide.end(), wideCharHasAnsi))
        fileText_ = wideToAnsi(wide);
    registerParameter(this);
}

std::wstring machineParam_t::name() const {
    const wchar_t* end = std::wcschr(text_, L';');
    return end == nullptr ? std::wstring(text_) : std::wstring(text_, end);
}

bool machineParam_t::isDefinition(const std::wstring& text) const {
    return text == text_;
}
