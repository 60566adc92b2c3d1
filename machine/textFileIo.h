// Whole text files as the settings files need them: written beside the
// target and renamed over it, so that a failed or interrupted write never
// leaves a half-written file; read with a bound, so that a stray huge file
// is refused instead of filling memory. Both use the run-time library's
// text mode (LF written as CR LF, CR LF read as LF, 0x1A ends a read).
#pragma once
#include <cstddef>
#include <string>

// Writes the narrow text into a new file in the target's folder and renames
// it over the target. False when anything fails; then the temporary file is
// removed and the old target is untouched.
bool replaceTextFile(const std::wstring& path, const std::string& text);

enum class textFileRead_e { ok_e, cannotOpen_e, tooLarge_e };
// Reads the whole file in text mode, at most limit bytes; tooLarge_e (and
// nothing in out) when the file holds more.
textFileRead_e readTextFileBounded(const std::wstring& path, std::size_t limit, std::string& out);
