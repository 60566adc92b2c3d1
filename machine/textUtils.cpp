#include "machine/textUtils.h"

#include "platform/codePage.h"

namespace {

template <class C>
std::basic_string<C> readLine(std::basic_istream<C>& in, bool skipOne)
{
    if (skipOne)
        in.get();
    std::basic_string<C> line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::string getLine(std::istream& in, bool skipOne) { return readLine(in, skipOne); }
std::wstring getLine(std::wistream& in, bool skipOne) { return readLine(in, skipOne); }

std::string wstrToStr(const std::wstring& text) { return wideToAnsi(text); }
std::wstring strToWstr(const std::string& text) { return ansiToWide(text); }
std::wstring toUpper(const std::wstring& text) { return upperText(text); }

std::wstring printableOnly(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t ch : text)
        if (isPrintableChar(ch))
            result += ch;
    return result;
}
