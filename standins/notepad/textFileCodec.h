// How Notepad reads and writes a text file: Windows line ends (CR LF) on
// disk, '\n' in the editor; the system's code page unless the file starts
// with a UTF-8 or UTF-16LE byte-order mark, in which case it is saved the
// same way it came, so that an edit does not change what it did not touch.
// A code-page text that gained a character the code page lacks is saved as
// UTF-8 with its mark.
#pragma once
#include <string>

enum class textEncoding_e { ansi_e, utf8_e, utf16le_e };

struct decodedText_t {
    std::wstring text;
    textEncoding_e encoding = textEncoding_e::ansi_e;
};

decodedText_t decodeTextFile(const std::string& bytes);
std::string encodeTextFile(const std::wstring& text, textEncoding_e encoding);
