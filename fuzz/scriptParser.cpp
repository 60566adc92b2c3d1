// deps: script
// The script parser over arbitrary file contents, with no device and the
// default function bound to every name that is no user function (its
// output silenced); the tree is then run and printed. A budget of loop
// rounds and calls stops scripts that would run for ever.
#include "platform/paths.h"
#include "procedures/script/batchProgram.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "procedures/script/userFuncDefnList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

const std::wstring scriptPath = L"C:/fuzzScript.txt";

class nullBuffer_t : public std::streambuf {
protected:
    int overflow(int ch) override { return ch == traits_type::eof() ? 0 : ch; }
};

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
    static nullBuffer_t silence;
    static std::ostream nowhere(&silence);
    std::cout.rdbuf(&silence);
    if (!writeScript(data, size))
        std::abort();

    batchRunState_t::bindBuiltins = false;
    batchRunState_t::stopRequested.store(false);
    long budget = 20000;
    batchRunState_t::stopTest = [&budget](int, const char*) {
        if (--budget > 0)
            return true;
        batchRunState_t::requestStop();
        return false;
    };

    icstream_t in(scriptPath);
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
    } catch (const std::exception&) {
        // Parse and run-time errors are the script's; the next token is the
        // place the runner would report.
        tokens.next();
    } catch (const batchBreak_t&) {
    }
    program.reset();
    definitions.clear();
    batchRunState_t::stopTest = nullptr;
    batchRunState_t::currentUserFunc = nullptr;
    return 0;
}
