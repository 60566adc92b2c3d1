// deps: script
// The script reader and tokenizer over arbitrary script contents, read from
// memory: comments, line joins, text and raw mode, every token kind,
// positions; then the error report at the place of one of the tokens.
#include "procedures/script/batchErrorReport.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    icstream_t in(L"C:/fuzzTokens.txt", bytes);
    if (!in.good())
        return 0;
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    batchErrorPlace_t place;
    const std::size_t pick = size > 0 ? data[0] : 0;
    const std::size_t limit = size + 2;
    std::size_t count = 0;
    // Every token is checked; the second of each three is put back and read
    // again. The checks are written with as few comparisons as they need:
    // each one is traced, and a token is only a few bytes.
    const auto check = [&](const batchToken_t& token) {
        if ((token.line() | token.lineStart()) < 0)
            std::abort();
        const bool end = token.isEnd();
        // A negative position turns into a huge one.
        if (!end && static_cast<std::size_t>(static_cast<std::ptrdiff_t>(token.position())) >= size)
            std::abort();
        if (count == pick || end)
            place = batchErrorPlace_t{token.line(), token.lineStart(), token.position()};
        (void)token.printed();
        ++count;
        return end || count >= limit;
    };
    for (;;) {
        if (check(tokens.next()))
            break;
        const batchToken_t& second = tokens.next();  // unchanged by the put-back and next below
        tokens.putBack();
        tokens.next();
        if (check(second) || check(tokens.next()))
            break;
    }
    std::string report = buildErrorReport(bytes, "fuzz", place);
    if (report.size() > 21 * 1100 + 100)
        std::abort();
    return 0;
}
