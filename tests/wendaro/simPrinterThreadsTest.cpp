// The simulated printer driven the way the server will drive it: a clock
// thread on real time, session threads waiting for awaited replies, pollers
// and harness events at the same time.
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"
#include "tests/wendaro/simTestPackets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class simPrinterThreadsTest : public prefixTest {
protected:
    simPrinterThreadsTest()
    {
        simPrinterConfig_t config = testConfig();
        config.actionMs = 30;
        config.layerMs = 20;
        printer_ = std::make_unique<simPrinter_t>(config);
        clock_ = std::thread([this] {
            while (!stop_) {
                printer_->tickRealTime();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~simPrinterThreadsTest() override
    {
        stop_ = true;
        clock_.join();
    }

    std::unique_ptr<simPrinter_t> printer_;
    std::atomic<bool> stop_{false};
    std::thread clock_;
};

TEST_F(simPrinterThreadsTest, AwaitedActionsEndOnTheRealTimeClock)
{
    std::atomic<bool> pollersStop{false};
    std::vector<std::thread> pollers;
    for (std::uint32_t connection = 2; connection <= 3; ++connection)
        pollers.emplace_back([&, connection] {
            while (!pollersStop) {
                for (int code : {1, 12, 1, 147}) {
                    const simReply_t reply = printer_->handleCommand(pkt_t(code), connection);
                    ASSERT_TRUE(reply.isPacket());
                    ASSERT_NE(reply.type(), 13);
                }
                printer_->takeEvents();
            }
        });

    const std::uint64_t mark = printer_->trace().mark();
    ASSERT_EQ(printer_->handleCommand(pkt_t(146), 1).type(), 2);
    ASSERT_TRUE(waitUntil([&] { return printer_->machineState() == 5; }));
    for (int y : {80000000, 120000000, 40000000}) {
        const simReply_t reply = printer_->handleCommand(pkt_t(129).u8(1).i32(y), 1);
        ASSERT_TRUE(reply.isPending());
        const simReply_t done = printer_->awaitReply(reply.ticket, std::chrono::seconds(10));
        ASSERT_EQ(done.type(), 10);
        EXPECT_EQ(printer_->position(simPrinter_t::y_e), y);
    }
    const auto reply10 = printer_->trace().waitFor(
        [](const simTraceEntry_t& e) {
            return e.kind == simTraceEntry_t::kind_e::replyOut_e && e.code == 10 && e.connection == 1;
        },
        std::chrono::seconds(10), mark);
    EXPECT_TRUE(reply10.has_value());

    // A build runs on the clock while the pollers keep asking.
    ASSERT_EQ(printer_->handleCommand(pkt_t(132), 1).type(), 2);
    ASSERT_EQ(printer_->handleCommand(pkt_t(155), 1).type(), 2);
    EXPECT_TRUE(waitUntil([&] { return printer_->machineState() == 4; }, std::chrono::seconds(30)));
    EXPECT_EQ(printer_->layerRecordCount(), 50);

    pollersStop = true;
    for (std::thread& poller : pollers)
        poller.join();
}

TEST_F(simPrinterThreadsTest, AWaitingSessionIsReleasedWhenItsClientGoes)
{
    simPrinterConfig_t config = testConfig();
    config.actionMs = simPrinter_t::maxActionMs;
    simPrinter_t slow(config);
    ASSERT_EQ(slow.handleCommand(pkt_t(146)).type(), 2);

    struct case_t {
        const char* name;
        std::function<void(std::uint64_t)> release;
    };
    const case_t cases[] = {
        {"reply cancelled", [&](std::uint64_t ticket) { slow.cancelReply(ticket); }},
        {"connection dropped", [&](std::uint64_t) { slow.dropConnection(4); }},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        const simReply_t reply = slow.handleCommand(pkt_t(154), 4);
        ASSERT_TRUE(reply.isPending());
        std::atomic<int> result{-1};
        std::thread session([&] { result = static_cast<int>(slow.awaitReply(reply.ticket, std::chrono::seconds(30)).kind); });
        std::this_thread::yield();
        c.release(reply.ticket);
        session.join();
        EXPECT_EQ(result, static_cast<int>(simReply_t::kind_e::none_e));
    }
}

}  // namespace
