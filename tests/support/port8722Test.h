// A test that needs the machines server's fixed port 8722, with its own
// prefix. While another program holds the port (the demo's Wendaro.exe keeps
// it after the technician program closes) the test is skipped with a line
// that names the holder and how to stop it; the test pass counts it as
// skipped.
#pragma once
#include "tests/support/takenPort.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

class port8722Test : public prefixTest {
protected:
    static constexpr int port = 8722;

    void SetUp() override {
        if (const std::string note = portTakenNote(port); !note.empty())
            GTEST_SKIP() << note;
    }
};
