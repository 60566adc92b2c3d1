// deps: script
// The script reader and tokenizer over arbitrary file contents: comments,
// line joins, text and raw mode, every token kind, positions; then the error
// report at the place of one of the tokens.
#include "platform/paths.h"
#include "procedures/script/batchErrorReport.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const std::wstring scriptPath = L"C:/fuzzTokens.txt";

bool writeScript(const std::uint8_t* data, std::size_t size)
{
    static const std::string file = [] {
        auto path = resolvePath(scriptPath);
        return path ? *path : std::string();
    }();
    if (file.empty())
        return false;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!writeScript(data, size))
        std::abort();
    icstream_t in(scriptPath);
    if (!in.good())
        return 0;
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    batchErrorPlace_t place;
    std::size_t pick = size > 0 ? data[0] : 0;
    for (std::size_t count = 0; count < size + 2; ++count) {
        batchToken_t token = tokens.next();
        if (token.line() < 0 || token.lineStart() < 0)
            std::abort();
        if (!token.isEnd() && (token.position() < 0 || static_cast<std::size_t>(token.position()) >= size))
            std::abort();
        if (count == pick || token.isEnd())
            place = batchErrorPlace_t{token.line(), token.lineStart(), token.position()};
        (void)token.printed();
        if (count % 3 == 1) {
            tokens.putBack();
            tokens.next();
        }
        if (token.isEnd())
            break;
    }
    std::string report = buildErrorReport(scriptPath, "fuzz", place);
    if (report.size() > 21 * 1100 + 100)
        std::abort();
    return 0;
}
