// The stop flag is set from another thread (the progress window's) while
// the script runs on its own.
#include "procedures/script/batchRunContext.h"
#include "tests/script/scriptTestSupport.h"
#include "tests/support/waitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST_F(scriptTest, ScriptThreadsStopFromAnotherThread)
{
    struct scriptCase_t {
        const char* script;
        const char* error;
    } cases[] = {
        // A loop without calls sees the flag at its next round.
        {"{ while 1 { memory(0, memory(0) + 1) } }", "EXECUTION INTERRUPTED BY STOP\n"},
        {"{ loop 2000000000 { memory(0, memory(0) + 1) } }", "EXECUTION INTERRUPTED BY STOP\n"},
        // A long sleep ends within its slice; the run ends after the call.
        {"{ memory(0, 1) sleepMsec(600000) }", "BATCH execution INTERRUPTED\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeRawFile(scriptPath, c.script));
        batchRunContext_t context(nullptr, scriptPath);
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
        std::string error;
        std::thread worker([&] {
            try {
                context.run([&started](int, const char*) {
                    started = true;
                    return true;
                });
            } catch (const std::runtime_error& e) {
                error = e.what();
            }
            finished = true;
        });
        // Stop once the script is under way.
        EXPECT_TRUE(waitUntil([&] { return started.load(); }, 30s)) << c.script;
        batchRunState_t::requestStop();
        EXPECT_TRUE(waitUntil([&] { return finished.load(); }, 30s)) << c.script;
        worker.join();
        EXPECT_EQ(error, c.error) << c.script;
    }
}
