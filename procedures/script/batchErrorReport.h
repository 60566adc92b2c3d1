// The report of a failed run. An error found while parsing names its place:
// the source lines up to the offending token (20 at most), each numbered
// from 1, a caret line under the token and the message. Any other error is
// its message alone.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct batchErrorPlace_t {
    int line = -1;          // -1: no place (an execution error or a stop)
    int lineStart = 0;
    int position = 0;       // byte offset of the token; negative at the end of the input
};

std::string buildErrorReport(const std::wstring& scriptPath, const std::string& message,
                             const batchErrorPlace_t& place);
// The same over the script's bytes in memory.
std::string buildErrorReport(std::string_view scriptBytes, const std::string& message,
                             const batchErrorPlace_t& place);
