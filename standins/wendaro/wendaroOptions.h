// wendaroOptions_t: the command line of Wendaro.exe.
//
//   Wendaro.exe [/c] [--port N] [--machine ID[:NAME[:HWREV[:EMBVER]]]]...
//               [--data-root DIR] [--time-scale F] [--seed N] [--trace FILE]
//               [--quiet] [--exit-on-stdin-eof] [--layer-trouble N] [--no-operator]
//
// "/c" (any case, also "-c") asks a running instance to close and exits.
// Without --machine there is one machine, ID 1. A time scale of 0 makes
// every printer action instant. --layer-trouble sets how many layers per
// thousand go wrong in each way the build statistics count (0: none).
#pragma once
#include "standins/wendaro/wendaroConfig.h"

#include <string>
#include <vector>

struct wendaroOptions_t {
    bool closeOther = false;
    bool help = false;
    bool quiet = false;
    bool exitOnStdinEof = false;
    std::string tracePath;
    // Set by parse: the server's configuration.
    wendaroConfig_t config;
    // Empty when the command line was understood.
    std::wstring error;

    static wendaroOptions_t parse(const std::vector<std::string>& args);
    static const char* usage();
};
