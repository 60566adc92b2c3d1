// Registry values as the system keeps its settings: text values (REG_SZ);
// integers are stored as their text. Roots: HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE.
#pragma once
#include "platform/winConstants.h"

#include <string>

// The value's text up to its first zero character, whatever its type; the
// default when the key or value is missing or the data are longer than
// 1024 bytes (as UTF-16: 511 characters and the terminator).
std::wstring regReadString(const std::wstring& keyPath, const std::wstring& valueName,
                           const std::wstring& defaultText, HKEY root);
// Creates the key when needed; false when the key cannot be created or the
// value cannot be written.
bool regWriteString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text,
                    HKEY root);
// Stored as text: 1 becomes the text value "1".
bool regWriteInt(const std::wstring& keyPath, const std::wstring& valueName, int value, HKEY root);
// The default also when the stored text does not start with an integer.
int regReadInt(const std::wstring& keyPath, const std::wstring& valueName, int defaultValue, HKEY root);
// A system error code: 0 when the value was deleted, else why not (2 for a
// missing key or value).
DWORD regDeleteValue(const std::wstring& keyPath, const std::wstring& valueName, HKEY root);
