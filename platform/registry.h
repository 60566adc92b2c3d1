// The registry: two ".reg"-style text files in the prefix (registry/HKCU.reg,
// registry/HKLM.reg; HKEY_CLASSES_ROOT is kept in HKLM.reg under
// SOFTWARE\Classes). Key and value names are case-insensitive and keep the
// case they were written with. Reads skip lines they cannot parse (a file
// with such lines is kept as .reg.bad before its first rewrite) and re-read
// a file whose inode, size or modification time changed. Writes do their
// read-modify-write under an exclusive lock, write a temporary file and
// rename it, so several processes can share the store.
// Results are system error codes: 0 success, 2 missing key or value.
#pragma once
#include "platform/winConstants.h"
#include <string>
#include <vector>

struct registryValue_t {
    DWORD type = REG_SZ;
    std::vector<unsigned char> data;  // as stored: REG_SZ is UTF-16LE with its terminating zero
};

DWORD registryOpenKey(HKEY root, const std::wstring& keyPath);
DWORD registryCreateKey(HKEY root, const std::wstring& keyPath);
DWORD registryQueryValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                         registryValue_t& value);
DWORD registrySetValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                       const registryValue_t& value);
DWORD registryDeleteValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName);
// Deletes the key with all its sub-keys.
DWORD registryDeleteKey(HKEY root, const std::wstring& keyPath);

// REG_SZ helpers: the UTF-16LE bytes of a text with its terminating zero, and back
// (up to the first zero character).
std::vector<unsigned char> registryTextData(const std::wstring& text);
std::wstring registryDataText(const std::vector<unsigned char>& data);

// The parsing and writing of one hive file lives in registryHive.h
// (registryHive_t::parse, registryHive_t::text), which the fuzz target uses.
