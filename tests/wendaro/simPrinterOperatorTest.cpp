// The demonstration's front-panel operator: RESUME a while after the knife
// check parks the bridge at Y = 80 mm with no tool, never while the
// procedure goes on, never elsewhere.
#include "tests/support/tempPrefix.h"
#include "tests/wendaro/simTestPackets.h"

#include <gtest/gtest.h>

class simPrinterOperatorTest : public prefixTest {};

TEST_F(simPrinterOperatorTest, PressesResumeOnlyWhereTheKnifeCheckWaits)
{
    struct case_t {
        const char* what;
        std::uint32_t operatorMs;
        int y;             // where the bridge goes (nm)
        bool takeTool;     // a tool in the head
        bool commandAfter; // a command 1 s after the stop
        bool pressed;
    };
    const std::vector<case_t> cases = {
        {"knife-check stop", 3000, 80000000, false, false, true},
        {"nobody at the panel", 0, 80000000, false, false, false},
        {"another position", 3000, 90000000, false, false, false},
        {"a pen in the head", 3000, 80000000, true, false, false},
        {"the procedure went on", 3000, 80000000, false, true, false},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.what);
        simPrinterConfig_t config = testConfig();
        config.operatorResumeMs = c.operatorMs;
        simPrinter_t printer(config);
        enterTechnicianMode(printer);
        ASSERT_EQ(sendAndRun(printer, pkt_t(130).u8(0)).type(), 10);
        if (c.takeTool) {
            ASSERT_EQ(sendAndRun(printer, pkt_t(140).u8(5).u8(0)).type(), 10);
        }
        ASSERT_EQ(sendAndRun(printer, pkt_t(135).i32(125000000).i32(c.y)).type(), 10);
        printer.advance(1000);
        // Status polls are not the procedure going on.
        ASSERT_EQ(printer.handleCommand(pkt_t(1)).type(), 1);
        if (c.commandAfter) {
            ASSERT_EQ(printer.handleCommand(pkt_t(4)).type(), 2);
        }
        printer.advance(1900);
        EXPECT_EQ(printer.machineState(), 5);
        printer.advance(200);
        EXPECT_EQ(printer.machineState(), c.pressed ? 7 : 5);
    }
}
