// deps: script
// Parsing speed (lines of a large script per second) and execution speed
// (simple statements per second of a loop that calls no machine function).
#include "platform/paths.h"
#include "platform/prefix.h"
#include "procedures/script/batchProgram.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "procedures/script/userFuncDefnList.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A prefix of its own in a temporary folder, removed at the end.
class benchPrefix_t {
public:
    benchPrefix_t()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qvr-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            folder_ = pattern;
            usePrefix(folder_ + "/prefix");
        }
    }
    ~benchPrefix_t()
    {
        std::error_code ec;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ec);
    }

private:
    std::string folder_;
};

benchPrefix_t& prefix()
{
    static benchPrefix_t instance;
    return instance;
}

void writeScript(const std::wstring& path, const std::string& text)
{
    prefix();
    auto file = resolvePath(path);
    if (!file)
        std::abort();
    std::filesystem::create_directories(std::filesystem::path(*file).parent_path());
    std::ofstream(*file, std::ios::binary | std::ios::trunc) << text;
}

// A large script in the style of the technician's: functions, comments,
// loops and conditions, one statement per line.
std::string largeScript(int lines)
{
    std::string text = "/* generated */\nstep { memory(0, memory(0) + arg(0)) // count\n  memory(0) }\n{\n";
    for (int i = 4; i < lines; ++i) {
        switch (i % 4) {
        case 0: text += "    step(" + std::to_string(i) + ")\n"; break;
        case 1: text += "    if memory(1) > 2 { memory(1, 0) } else memory(1, memory(1) + 1)\n"; break;
        case 2: text += "    loop 0 moveXto(memory(1) * 100 - 7 / 2)   // never runs\n"; break;
        default: text += "    while 0 { step(1) }\n"; break;
        }
    }
    return text + "}\n";
}

void parseScript(const std::wstring& path, userFuncDefnList_t& definitions, batchStmtPtr_t& program)
{
    icstream_t in(path);
    batchTokenBuffer_t tokens;
    tokens.attach(&in);
    program = parseProgram(tokens, definitions);
}

void BM_ParseLines(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    const std::wstring path = L"C:/bench/parse.txt";
    writeScript(path, largeScript(lines));
    batchRunState_t::bindBuiltins = false;
    for (auto _ : state) {
        userFuncDefnList_t definitions;
        batchStmtPtr_t program;
        parseScript(path, definitions, program);
        benchmark::DoNotOptimize(program.get());
        program.reset();
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetLabel("items = script lines");
}
BENCHMARK(BM_ParseLines)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ExecuteStatements(benchmark::State& state)
{
    // Each round: the while test and three memory statements.
    const int rounds = 100000;
    const std::wstring path = L"C:/bench/run.txt";
    writeScript(path, "{ memory(0, 0)\n"
                      "  while memory(0) < " + std::to_string(rounds) + " {\n"
                      "    memory(0, memory(0) + 1)\n"
                      "    memory(1, memory(0) * 3 % 7)\n"
                      "    if memory(1) == 2 memory(2, memory(2) + 1)\n"
                      "  }\n"
                      "}\n");
    userFuncDefnList_t definitions;
    batchStmtPtr_t program;
    parseScript(path, definitions, program);
    batchRunState_t::stopRequested.store(false);
    batchRunState_t::stopTest = [](int, const char*) { return true; };
    for (auto _ : state)
        program->exec();
    batchRunState_t::stopTest = nullptr;
    state.SetItemsProcessed(state.iterations() * rounds * 4);
    state.SetLabel("items = simple statements");
}
BENCHMARK(BM_ExecuteStatements)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
