// The super-user password: the value "SU" of the system's key under
// HKEY_LOCAL_MACHINE, kept in mirrored form. Library operations without a
// caller in the technician program.
#pragma once
#include <string>

// a<->z, b<->y ..., A<->Z ..., digit d -> 9 - d; any other character is
// kept. Its own inverse.
std::wstring mirrorText(const std::wstring& text);
// A password is stored (the value is not empty).
bool isSuperUserPasswordSet();
// False when none is stored, else whether the text is the password.
bool checkSuperUserPassword(const std::wstring& text);
// Stores the new password when the old one checks; false otherwise (so a
// first password cannot be set through it) and when it cannot be stored.
bool setSuperUserPassword(const std::wstring& oldText, const std::wstring& newText);
