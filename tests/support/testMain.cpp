// The main of every test program: runs a child helper when asked to (see
// childProcess.h), else the tests.
#include "tests/support/childProcess.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (const auto code = runChildHelperIfAsked(argc, argv)) return *code;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
