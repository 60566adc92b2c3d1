#include "standins/notepad/textFileCodec.h"

#include "platform/codePage.h"

namespace {

const std::string utf8Mark = "\xEF\xBB\xBF";
const std::string utf16Mark = "\xFF\xFE";

bool startsWith(const std::string& bytes, const std::string& prefix)
{
    return bytes.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

decodedText_t decodeTextFile(const std::string& bytes)
{
    decodedText_t result;
    std::wstring raw;
    if (startsWith(bytes, utf8Mark)) {
        result.encoding = textEncoding_e::utf8_e;
        raw = utf8ToWide(bytes.substr(utf8Mark.size()));
    } else if (startsWith(bytes, utf16Mark)) {
        result.encoding = textEncoding_e::utf16le_e;
        std::u16string units;
        for (std::size_t i = utf16Mark.size(); i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           static_cast<unsigned char>(bytes[i + 1]) << 8);
        raw = utf16ToWide(units);
    } else {
        raw = ansiToWide(bytes);
    }
    result.text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == L'\r' && i + 1 < raw.size() && raw[i + 1] == L'\n'))
            result.text += raw[i];
    return result;
}

std::string encodeTextFile(const std::wstring& text, textEncoding_e encoding)
{
    std::wstring windows;
    windows.reserve(text.size() + text.size() / 16);
    for (const wchar_t ch : text) {
        if (ch == L'\n')
            windows += L'\r';
        windows += ch;
    }
    // A character the code page cannot hold would be saved as '?': such a
    // text goes out as UTF-8 instead, which loses nothing.
    if (encoding == textEncoding_e::ansi_e)
        for (const wchar_t ch : windows)
            if (!wideCharHasAnsi(ch)) {
                encoding = textEncoding_e::utf8_e;
                break;
            }
    switch (encoding) {
    case textEncoding_e::utf8_e:
        return utf8Mark + wideToUtf8(windows);
    case textEncoding_e::utf16le_e: {
        std::string bytes = utf16Mark;
        for (const char16_t unit : wideToUtf16(windows)) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    }
    case textEncoding_e::ansi_e:
        break;
    }
    return wideToAnsi(windows);
}
