#include "machine/textFileIo.h"

#include "platform/fileHandle.h"
#include "platform/files.h"

namespace {

// The folder part of a path (both separators); "." for a bare name.
std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    if (slash == std::wstring::npos)
        return L".";
    if (slash == 0)
        return path.substr(0, 1);
    if (slash == 2 && path[1] == L':')
        return path.substr(0, 3);
    return path.substr(0, slash);
}

} // namespace

bool replaceTextFile(const std::wstring& path, const std::string& text) {
    const std::wstring temp = createTempFile(folderOf(path), L"~prm");
    if (temp.empty())
        return false;
    bool written = false;
    {
        fileHandle_t file;
        if (file.open(temp, "w")) {
            written = file.write(text.data(), text.size());
            written = file.close() && written;
        }
    }
    if (written && moveFileReplace(temp, path))
        return true;
    deleteFile(temp);
    return false;
}

textFileRead_e readTextFileBounded(const std::wstring& path, std::size_t limit, std::string& out) {
    out.clear();
    fileHandle_t file;
    if (!file.open(path, "r"))
        return textFileRead_e::cannotOpen_e;
    std::string text;
    char buffer[16384];
    for (;;) {
        const std::size_t n = file.read(buffer, sizeof buffer);
        if (n == 0)
            break;
        if (text.size() + n > limit)
            return textFileRead_e::tooLarge_e;
        text.append(buffer, n);
    }
    // A file that cannot be read to its end is as good as none.
    if (file.hadError())
        return textFileRead_e::cannotOpen_e;
    out = std::move(text);
    return textFileRead_e::ok_e;
}
