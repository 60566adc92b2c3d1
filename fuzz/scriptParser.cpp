// deps: script
// The script parser over arbitrary script contents, read from memory, with no
// device and the default function bound to every name that is no user
// function (its output silenced); the tree is then run and printed, and a
// parse error reported at its place. A budget of loop rounds and calls stops
// scripts that would run for ever.
#include "procedures/script/batchErrorReport.h"
#include "procedures/script/batchProgram.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "procedures/script/userFuncDefnList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

class nullBuffer_t : public std::streambuf {
protected:
    int overflow(int ch) override { return ch == traits_type::eof() ? 0 : ch; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static nullBuffer_t silence;
    static std::ostream nowhere(&silence);
    std::cout.rdbuf(&silence);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Memory cells outlive a run in the program; here each input starts
    // from the same state, so that a failure found replays alone.
    for (auto& cell : batchRunState_t::globalCells)
        cell = 0;
    batchRunState_t::lastValue = 0;
    batchRunState_t::bindBuiltins = false;
    batchRunState_t::stopRequested.store(false);
    long budget = 2000;
    batchRunState_t::stopTest = [&budget](int, const char*) {
        if (--budget > 0)
            return true;
        batchRunState_t::requestStop();
        return false;
    };

    icstream_t in(L"C:/fuzzScript.txt", bytes);
    if (!in.good())
        return 0;
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    userFuncDefnList_t definitions;
    batchStmtPtr_t program;
    try {
        program = parseProgram(tokens, definitions);
        if (tokens.nesting() != 0)
            std::abort();
        if (program) {
            program->print(nowhere);
            program->exec();
        }
    } catch (const std::exception& error) {
        // Parse and run-time errors are the script's; the next token is the
        // place the runner reports them at.
        const batchToken_t& token = tokens.next();
        std::string report =
            buildErrorReport(bytes, error.what(), batchErrorPlace_t{token.line(), token.lineStart(), token.position()});
        if (report.empty())
            std::abort();
    } catch (const batchBreak_t&) {
    }
    program.reset();
    definitions.clear();
    batchRunState_t::stopTest = nullptr;
    batchRunState_t::currentUserFunc = nullptr;
    return 0;
}
