// A throw-away prefix for a benchmark program, so that what the program
// writes (device folders, logs, settings) lands nowhere real; removed when
// the program ends.
#pragma once
#include "platform/prefix.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

struct temporaryPrefix_t {
    // tag names the benchmark in the folder's name.
    explicit temporaryPrefix_t(const std::string& tag)
        : folder(std::filesystem::temp_directory_path() / ("qvr-bench-" + tag + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(folder);
        usePrefix(folder.string());
    }
    ~temporaryPrefix_t()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    temporaryPrefix_t(const temporaryPrefix_t&) = delete;
    temporaryPrefix_t& operator=(const temporaryPrefix_t&) = delete;

    std::filesystem::path folder;
};
