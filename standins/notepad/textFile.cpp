#include "standins/notepad/textFile.h"

#include "platform/paths.h"
#include "platform/posixFile.h"

std::optional<decodedText_t> readTextFile(const std::wstring& path)
{
    if (path.empty())
        return std::nullopt;
    const std::optional<std::string> linuxPath = resolvePath(path);
    if (!linuxPath)
        return std::nullopt;
    const std::optional<std::string> bytes = readWholeFile(*linuxPath);
    if (!bytes)
        return std::nullopt;
    return decodeTextFile(*bytes);
}

bool writeTextFile(const std::wstring& path, const std::wstring& text, textEncoding_e encoding)
{
    const std::optional<std::string> linuxPath = resolvePath(path);
    return linuxPath && replaceFileAtomically(*linuxPath, encodeTextFile(text, encoding));
}
