#include "technician/printErrorsFlag.h"

#include <atomic>

namespace {
// Written on the user-interface thread, read there too; atomic so that a
// reader on another thread never sees a torn value.
std::atomic<bool> printErrorsFlag{false};
}  // namespace

bool printErrorsAutomatically()
{
    return printErrorsFlag.load();
}

void setPrintErrorsAutomatically(bool on)
{
    printErrorsFlag.store(on);
}
