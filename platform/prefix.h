// The prefix: one folder that holds the Windows world of every process of
// the system ($QVR_PREFIX, default $HOME/.qvr): drive_c/, registry/,
// objects/ and platform.conf. It is created with defaults when missing.
#pragma once
#include <string>
#include <utility>
#include <vector>

// The prefix folder (Linux path), created with its defaults on first use.
std::string prefixRoot();
// Switches this process (and, through the environment, its children) to
// another prefix; creates it with defaults when missing. Tests use this.
void usePrefix(const std::string& linuxFolder);
// Forgets the prefix of this process (after a test removed its temporary
// one): the next use reads $QVR_PREFIX or the default again.
void forgetPrefix();
// Grows by one at every switch of prefix, so that caches built from the
// prefix's files can tell that they are stale.
unsigned prefixGeneration();

// platform.conf, an INI file: [drives] (C=drive_c, Z=/), [folders]
// (windows, system, desktop = special folder 16, commonprograms = 23, temp),
// [formats] (shortdate M/d/yyyy, time h:mm tt), [identity] (user, computer),
// [printer] (name, or pdffolder). Keys are case-insensitive. Re-read when
// the file changes.
std::wstring configValue(const std::wstring& section, const std::wstring& key,
                         const std::wstring& defaultValue);
// Every key and value of one section, in file order; *revision (when
// given) is the configRevision of what was read.
std::vector<std::pair<std::wstring, std::wstring>> configSection(const std::wstring& section,
                                                                 unsigned* revision = nullptr);
// Changes whenever platform.conf is read again (another prefix, or the file's
// identity, size or modification time changed): what a caller derives from
// the configuration (the drive map) it keeps until this number moves. Costs
// one stat of the file.
unsigned configRevision();
// Writes one value into platform.conf (tests and set-up scripts).
bool setConfigValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
