#include "machine/packetBuffer.h"
#include "machine/packetQueue.h"
#include "machine/sharedLock.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

packetBuffer_t packetOf(const std::vector<std::uint8_t>& bytes, std::int32_t kind = packetBuffer_t::devicePacket,
                        std::int32_t capacity = 64)
{
    packetBuffer_t packet(capacity);
    packet.append(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    packet.setKind(kind);
    return packet;
}

std::vector<std::uint8_t> bytesOf(const packetBuffer_t& packet)
{
    return std::vector<std::uint8_t>(packet.data(), packet.data() + packet.length());
}

TEST(packetBufferTest, AppendsLittleEndianFieldsAndRefusesOverflow)
{
    packetBuffer_t packet(8);
    EXPECT_TRUE(packet.pushByte(0x1FF));
    EXPECT_TRUE(packet.appendShort(0x12345678));
    EXPECT_TRUE(packet.appendInt(0xA1B2C3D4));
    EXPECT_EQ(bytesOf(packet), (std::vector<std::uint8_t>{0xFF, 0x78, 0x56, 0xD4, 0xC3, 0xB2, 0xA1}));
    // One byte is left: a 16-bit field and a 2-byte block are refused whole.
    EXPECT_FALSE(packet.appendShort(1));
    const std::uint8_t two[2] = {1, 2};
    EXPECT_EQ(packet.append(two, 2), 7);
    EXPECT_EQ(packet.length(), 7);
    EXPECT_TRUE(packet.pushByte(9));
    EXPECT_FALSE(packet.pushByte(9));
    EXPECT_EQ(packet.length(), 8);
}

// Packets up to 64 bytes live inside the object, larger ones on the heap:
// copies and moves across both kinds keep the bytes, the capacity and
// zeroes past the length, and a moved-from packet is empty.
TEST(packetBufferTest, CopiesAndMovesKeepBytesOnBothSidesOfTheInlineCapacity)
{
    for (const std::int32_t capacity : {0, 8, 64, 65, 0x8000}) {
        SCOPED_TRACE(capacity);
        const std::int32_t n = std::min(capacity, 5);
        packetBuffer_t original(capacity);
        for (std::int32_t i = 0; i < n; ++i)
            original.pushByte(0xA0 + i);
        original.setKind(packetBuffer_t::requestMessage);

        packetBuffer_t copy(original);
        EXPECT_EQ(copy, original);
        EXPECT_EQ(copy.capacity(), capacity);
        if (n > 0) {
            packetBuffer_t changed(original);
            changed.clear();
            changed.pushByte(0x11);
            EXPECT_EQ(original.u8(0), 0xA0);  // independent bytes
        }

        // A target that held more bytes before: nothing of it shows past
        // the new length.
        packetBuffer_t target(capacity);
        for (std::int32_t i = 0; i < capacity && i < 40; ++i)
            target.pushByte(0xFF);
        target = std::move(copy);
        EXPECT_EQ(target, original);
        EXPECT_EQ(target.capacity(), capacity);
        for (std::int32_t i = n; i < capacity && i < 40; ++i)
            ASSERT_EQ(target.data()[i], 0) << i;
        EXPECT_EQ(copy.length(), 0);  // NOLINT(bugprone-use-after-move): a moved-from packet is empty
        EXPECT_EQ(copy.capacity(), 0);
        EXPECT_FALSE(copy.pushByte(1));

        packetBuffer_t assigned(16);
        assigned = original;
        EXPECT_EQ(assigned, original);
        EXPECT_EQ(assigned.capacity(), capacity);
    }
}

TEST(packetBufferTest, BoundedReadsNeverPassTheLength)
{
    packetBuffer_t packet = packetOf({7, 60, 0x10, 0x00, 1, 2});
    EXPECT_EQ(packet.u16(2), 0x10);
    EXPECT_EQ(packet.u8(5), 2);
    EXPECT_EQ(packet.u8(6), 0);       // past the length, though inside the capacity
    EXPECT_EQ(packet.u32(4), 0u);     // only two bytes left
    EXPECT_EQ(packet.u16(-1), 0);
    EXPECT_FALSE(packet.holds(4, 3));
    EXPECT_TRUE(packet.holds(4, 2));
}

TEST(packetBufferTest, EqualityIgnoresCapacityButNotKind)
{
    const packetBuffer_t small = packetOf({3, 1, 2}, 0, 8);
    const packetBuffer_t large = packetOf({3, 1, 2}, 0, 0x8000);
    const packetBuffer_t request = packetOf({3, 1, 2}, packetBuffer_t::requestMessage);
    EXPECT_EQ(small, large);
    EXPECT_NE(small, request);
    EXPECT_NE(small, packetOf({3, 1}));

    packetBuffer_t copy(large);
    EXPECT_EQ(copy.capacity(), 0x8000);
    copy.pushByte(4);
    EXPECT_EQ(large.length(), 3);  // independent bytes

    packetBuffer_t payload = packetOf({9}, packetBuffer_t::requestMessage);
    packetBuffer_t target = packetOf({1});
    EXPECT_TRUE(target.appendBuffer(payload));
    EXPECT_EQ(target.kind(), packetBuffer_t::requestMessage);
    EXPECT_EQ(bytesOf(target), (std::vector<std::uint8_t>{1, 9}));
}

class packetQueueTest : public ::testing::Test {
protected:
    sharedLock_t lock;
    packetQueue_t queue{lock};
};

TEST_F(packetQueueTest, ADuplicateBehindTheFrontIsRefused)
{
    const packetBuffer_t status = packetOf({1, 1});
    EXPECT_FALSE(queue.push(status));  // becomes the front
    EXPECT_FALSE(queue.push(status));  // equal only to the front: queued
    EXPECT_TRUE(queue.push(status));   // equal to position 1: refused
    EXPECT_EQ(queue.count(), 2);
    // A request message with the same bytes is another packet.
    EXPECT_FALSE(queue.push(packetOf({1, 1}, packetBuffer_t::requestMessage)));
    EXPECT_EQ(queue.count(), 3);
    // Once the front is dropped the waiting copy is the front, and one more may wait.
    queue.dropFront();
    EXPECT_FALSE(queue.push(status));
    EXPECT_EQ(queue.count(), 3);
}

// Entry numbers: a refused duplicate is the entry already waiting; an entry
// has left once it was dropped from the front or cleared.
TEST_F(packetQueueTest, EntriesLeaveInOrderAndADuplicateIsTheOneWaiting)
{
    std::uint64_t entry[5] = {};
    queue.push(packetOf({2, 130, 3}), &entry[0]);
    queue.push(packetOf({1, 1}), &entry[1]);
    queue.push(packetOf({2, 130, 3}), &entry[2]);
    queue.push(packetOf({1, 1}), &entry[3]);  // refused: the entry behind the front
    EXPECT_EQ((std::vector<std::uint64_t>{entry[0], entry[1], entry[2], entry[3]}),
              (std::vector<std::uint64_t>{0, 1, 2, 1}));
    queue.dropFront();
    EXPECT_TRUE(queue.hasLeft(entry[0]));
    EXPECT_FALSE(queue.hasLeft(entry[1]));
    // Numbers go on from where the removals left them.
    queue.push(packetOf({1, 12}), &entry[4]);
    EXPECT_EQ(entry[4], 3u);
    EXPECT_FALSE(queue.waitUntilLeft(entry[2], 0, [] { return false; }));
    queue.clear();
    EXPECT_TRUE(queue.waitUntilLeft(entry[4], INFINITE, [] { return false; }));
}

TEST_F(packetQueueTest, OnlyTheFrontGoesOutAndOnlyWhileNoReplyIsAwaited)
{
    packetBuffer_t out = packetOf({0xEE});
    EXPECT_FALSE(queue.popFront(out));
    EXPECT_EQ(bytesOf(out), (std::vector<std::uint8_t>{0xEE}));  // untouched on an empty queue
    EXPECT_FALSE(queue.hasSendable());

    queue.push(packetOf({2, 1}));
    queue.push(packetOf({2, 12}));
    EXPECT_TRUE(queue.popFront(out));
    EXPECT_EQ(bytesOf(out), (std::vector<std::uint8_t>{2, 1}));
    queue.setAwaitingReply();
    // In flight: the front is copied but may not be sent again.
    out = packetOf({0});
    EXPECT_FALSE(queue.popFront(out));
    EXPECT_EQ(bytesOf(out), (std::vector<std::uint8_t>{2, 1}));
    EXPECT_FALSE(queue.hasSendable());
    // A reply that does not answer it: the same front goes out again.
    queue.resumeSending();
    EXPECT_TRUE(queue.popFront(out));
    EXPECT_EQ(bytesOf(out), (std::vector<std::uint8_t>{2, 1}));
    queue.setAwaitingReply();
    // Closing the request lets the next one go.
    queue.dropFront();
    EXPECT_FALSE(queue.isAwaitingReply());
    EXPECT_TRUE(queue.popFront(out));
    EXPECT_EQ(bytesOf(out), (std::vector<std::uint8_t>{2, 12}));
}

TEST_F(packetQueueTest, DropOnEmptyKeepsTheFlagClearAlwaysClearsIt)
{
    queue.setAwaitingReply();
    queue.dropFront();
    EXPECT_TRUE(queue.isAwaitingReply());
    queue.push(packetOf({1, 1}));
    queue.clear();
    EXPECT_FALSE(queue.isAwaitingReply());
    EXPECT_TRUE(queue.isEmpty());
}

TEST_F(packetQueueTest, CurrentPacketIsAnIndependentCopy)
{
    EXPECT_EQ(queue.getCurrent().length(), 0);
    packetBuffer_t big = packetOf({13, 1, 2, 3}, packetBuffer_t::devicePacket, 0x8000);
    queue.setCurrent(big);
    packetBuffer_t copy = queue.getCurrent();
    EXPECT_EQ(copy.capacity(), 0x8000);
    EXPECT_EQ(copy, big);
    copy.clear();
    EXPECT_EQ(queue.getCurrent().length(), 4);
    queue.newCurrent(64);
    EXPECT_EQ(queue.getCurrent().capacity(), 64);
    EXPECT_EQ(queue.getCurrent().length(), 0);
}

}  // namespace

// Waits (with a generous deadline) until a thread is inside waitUntilLeft.
bool waiterInside(const packetQueue_t& queue)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!queue.hasWaiters())
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

// A waiter is released by its entry leaving or by the condition, whether
// the release comes while it still looks on the processor or long after it
// went to sleep.
TEST(packetQueueThreads, AWaiterIsReleasedEarlyOrLate)
{
    using namespace std::chrono_literals;
    for (const auto delay : {0ms, 30ms}) {
        SCOPED_TRACE(delay.count());
        sharedLock_t lock;
        packetQueue_t queue(lock);
        std::uint64_t entry = 0;
        queue.push(packetBuffer_t(4), &entry);
        std::atomic<bool> left{false};
        std::thread waiter([&] { left = queue.waitUntilLeft(entry, 20000, [] { return false; }); });
        EXPECT_TRUE(waiterInside(queue));
        std::this_thread::sleep_for(delay);
        queue.dropFront();
        waiter.join();
        EXPECT_TRUE(left.load());
        EXPECT_TRUE(queue.takeReleasedWaiter()) << "a waiter was inside when its entry left";
        EXPECT_FALSE(queue.takeReleasedWaiter());

        // Released by the condition: the entry stays.
        queue.push(packetBuffer_t(4), &entry);
        std::atomic<bool> over{false};
        std::atomic<bool> result{true};
        std::thread second([&] { result = queue.waitUntilLeft(entry, 20000, [&] { return over.load(); }); });
        EXPECT_TRUE(waiterInside(queue));
        std::this_thread::sleep_for(delay);
        over = true;
        queue.wakeWaiters();
        second.join();
        EXPECT_FALSE(result.load());
        EXPECT_FALSE(queue.hasWaiters());
    }
}
