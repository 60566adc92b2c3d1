// Reading and writing Notepad's file by its system path.
#pragma once
#include "standins/notepad/textFileCodec.h"

#include <optional>
#include <string>

// Nothing when the file does not open.
std::optional<decodedText_t> readTextFile(const std::wstring& path);
// Through a temporary file renamed over the old one: a failed save (a full
// disk) leaves the file as it was.
bool writeTextFile(const std::wstring& path, const std::wstring& text, textEncoding_e encoding);
