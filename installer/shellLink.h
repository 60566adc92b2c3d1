// Shortcuts. There is no shell-link format here, so a shortcut is a small
// text file under the link's ".lnk" name, which people and tests can read:
//
//     [Link]
//     Target=C:\Program Files\Corvanta\Ondrel/Tovrik.exe
//     Description=Application for 3D printer technicians
//
// in UTF-8 with CR LF line ends. The folder must exist; it is not created.
#pragma once
#include <cstdint>
#include <string>

// A result code as the shell's link object gives one: 0 on success, else a
// failure code with the high bit set (0x8007xxxx with the system error).
using hresult_t = std::int32_t;
inline constexpr hresult_t S_OK = 0;

// Saves the shortcut to the target with its description at linkPath,
// replacing an older one.
hresult_t saveShellLink(const std::wstring& target, const std::wstring& description,
                        const std::wstring& linkPath);
