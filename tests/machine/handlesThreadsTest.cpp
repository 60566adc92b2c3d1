#include "machine/event.h"
#include "machine/sharedLock.h"
#include "machine/threadHandle.h"
#include "platform/lastError.h"
#include "platform/ticks.h"
#include "platform/waitHook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

namespace {

constexpr DWORD generous = 10000;

TEST(eventThreads, unnamedEventsAreIndependent)
{
    event_t a(true, false);
    event_t b(true, false);
    a.set();
    EXPECT_TRUE(a.isSet());
    EXPECT_FALSE(b.isSet());
    a.reset();
    EXPECT_FALSE(a.wait(0));
}

TEST(eventThreads, sameNameIsTheSameEvent)
{
    bool existed = true;
    event_t first(true, false, L"machineTest event", &existed);
    EXPECT_FALSE(existed);
    event_t second(false, true, L"machineTest event", &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(getLastError(), ERROR_ALREADY_EXISTS);
    // The second creation's settings are those of the existing event.
    EXPECT_FALSE(second.isSet());
    first.set();
    EXPECT_TRUE(second.isSet());
    EXPECT_TRUE(second.isSet()) << "manual reset: stays set";
    second.reset();
    EXPECT_FALSE(first.isSet());

    event_t otherCase(true, false, L"MACHINETEST EVENT", &existed);
    EXPECT_FALSE(existed) << "names are case-sensitive";
}

TEST(eventThreads, nameIsFreedWithItsLastHolder)
{
    bool existed = true;
    {
        event_t once(true, true, L"machineTest short-lived", &existed);
        EXPECT_FALSE(existed);
    }
    event_t again(true, false, L"machineTest short-lived", &existed);
    EXPECT_FALSE(existed);
    EXPECT_FALSE(again.isSet());
}

TEST(eventThreads, automaticResetReleasesOneWait)
{
    event_t e(false, true);
    EXPECT_TRUE(e.wait(0));
    EXPECT_FALSE(e.wait(0));
    e.set();
    e.set();
    EXPECT_TRUE(e.wait(0));
    EXPECT_FALSE(e.wait(0));
}

struct signalArgs_t {
    event_t* go;
    event_t* done;
};

unsigned setWhenTold(void* argument)
{
    auto* args = static_cast<signalArgs_t*>(argument);
    if (args->go->wait(generous))
        args->done->set();
    return 0;
}

TEST(eventThreads, waitForAnyGivesTheSignalledIndex)
{
    event_t a(true, false);
    event_t b(false, false);
    EXPECT_EQ(waitForAnyEvent({&a, &b}, 0), -1);
    b.set();
    EXPECT_EQ(waitForAnyEvent({&a, &b}, 0), 1);
    EXPECT_FALSE(b.isSet()) << "the wait took the automatic event";

    event_t go(true, false);
    signalArgs_t args{&go, &a};
    threadHandle_t worker(setWhenTold, &args);
    go.set();
    EXPECT_EQ(waitForAnyEvent({&b, &a}, generous), 1);
    EXPECT_TRUE(a.isSet());
}

// Two threads hand a turn back and forth through two automatic events, one
// side sleeping in wait and the other in waitForAnyEvent. A set that slips
// between a sleeper's last look and its sleep is never lost: a lost one
// leaves both sides waiting, and the round count falls short.
struct turnArgs_t {
    event_t* mine;
    event_t* theirs;
    event_t* stop;
    int rounds;
    std::atomic<int> taken{0};
};

unsigned takesTurnsWithWaitForAny(void* argument)
{
    auto* args = static_cast<turnArgs_t*>(argument);
    for (int i = 0; i < args->rounds; ++i) {
        if (waitForAnyEvent({args->stop, args->mine}, generous) != 1)
            return 0;
        args->taken.fetch_add(1);
        args->theirs->set();
    }
    return 0;
}

TEST(eventThreads, noSetIsLostBetweenALookAndTheSleep)
{
    event_t ping(false, false);
    event_t pong(false, false);
    event_t stop(true, false);
    turnArgs_t args{&ping, &pong, &stop, 20000};
    int rounds = 0;
    {
        threadHandle_t partner(takesTurnsWithWaitForAny, &args);
        for (; rounds < args.rounds; ++rounds) {
            ping.set();
            if (!pong.wait(generous))
                break;
        }
        stop.set();
    }
    EXPECT_EQ(rounds, args.rounds);
    EXPECT_EQ(args.taken.load(), args.rounds);
}

// A waiter may delete the event the moment its wait returns, while the
// setter is still inside set(); the setter must not touch freed memory
// then (the sanitizer builds see it).
struct ownedEvent_t {
    std::atomic<event_t*> event{nullptr};
    event_t* ready;
};

unsigned waitsThenDeletes(void* argument)
{
    auto* args = static_cast<ownedEvent_t*>(argument);
    auto* event = new event_t(true, false);
    args->event.store(event);
    args->ready->set();
    const bool woken = event->wait(generous);
    delete event;
    return woken ? 1 : 0;
}

TEST(eventThreads, aWaiterMayDeleteTheEventAsSoonAsItReturns)
{
    for (int i = 0; i < 300; ++i) {
        event_t ready(false, false);
        ownedEvent_t args;
        args.ready = &ready;
        threadHandle_t waiter(waitsThenDeletes, &args);
        ASSERT_TRUE(ready.wait(generous));
        args.event.load()->set();
    }
}

unsigned endsAtOnce(void*)
{
    return 0;
}

struct runArgs_t {
    std::atomic<int>* order;
    int mine;
    std::atomic<int> seenBefore{-1};
    std::atomic<std::uint32_t> id{0};
    event_t* release = nullptr;
    event_t* finished = nullptr;
};

unsigned recordsOrder(void* argument)
{
    auto* args = static_cast<runArgs_t*>(argument);
    args->id = currentThreadId();
    args->seenBefore = args->order->load();
    if (args->release != nullptr)
        args->release->wait(generous);
    // Give a wrongly started second thread every chance to run first.
    sleepMs(20);
    *args->order = args->mine;
    if (args->finished != nullptr)
        args->finished->set();
    return 0;
}

TEST(threadHandleThreads, nullProcedureStartsNothing)
{
    threadHandle_t none;
    EXPECT_FALSE(none.hasThread());
    EXPECT_EQ(none.handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(none.threadId(), 0u);
    none.join(0);
    EXPECT_FALSE(none.hasThread());
}

TEST(threadHandleThreads, startTwiceRunsTheSecondAfterTheFirstEnded)
{
    std::atomic<int> order{0};
    runArgs_t first{&order, 1};
    runArgs_t second{&order, 2};
    threadHandle_t worker;
    worker.start(recordsOrder, &first);
    EXPECT_TRUE(worker.hasThread());
    std::uint32_t firstId = worker.threadId();
    worker.start(recordsOrder, &second);
    worker.join(INFINITE);
    EXPECT_EQ(second.seenBefore.load(), 1);
    EXPECT_EQ(order.load(), 2);
    EXPECT_NE(worker.threadId(), firstId);
    EXPECT_EQ(first.id.load(), firstId) << "the thread sees the id its owner stored";
    EXPECT_EQ(second.id.load(), worker.threadId());
    EXPECT_FALSE(worker.hasThread());
}

TEST(threadHandleThreads, timedJoinForgetsAThreadThatRunsOn)
{
    std::atomic<int> order{0};
    event_t release(true, false);
    event_t finished(true, false);
    runArgs_t args{&order, 1};
    args.release = &release;
    args.finished = &finished;
    threadHandle_t worker(recordsOrder, &args);

    const auto before = std::chrono::steady_clock::now();
    worker.join(100);
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_FALSE(worker.hasThread());
    EXPECT_FALSE(finished.isSet());

    release.set();
    EXPECT_TRUE(finished.wait(generous)) << "the forgotten thread runs on";
    EXPECT_EQ(order.load(), 1);
}

TEST(threadHandleThreads, destructorWaitsThroughTheWaitHook)
{
    std::atomic<int> slices{0};
    setWaitHook([&slices](const waitSlice_t& waitSlice) {
        while (!waitSlice(5))
            ++slices;
        ++slices;
    });
    std::atomic<int> order{0};
    runArgs_t args{&order, 7};
    {
        threadHandle_t worker(recordsOrder, &args);
    }
    setWaitHook(nullptr);
    EXPECT_EQ(order.load(), 7);
    EXPECT_GE(slices.load(), 1);

    threadHandle_t quick(endsAtOnce, nullptr);
    quick.join(INFINITE);
    EXPECT_FALSE(quick.hasThread());
}

TEST(sharedLockThreads, lastCopyFreesAndTheOthersStayUsable)
{
    auto first = std::make_unique<sharedLock_t>();
    auto second = std::make_unique<sharedLock_t>(*first);
    auto third = std::make_unique<sharedLock_t>(*second);
    EXPECT_EQ(third->holders(), 3);
    first.reset();
    {
        lockGuard_t guard(*second);
        lockGuard_t again(*third);  // recursive on one thread
        EXPECT_EQ(second->holders(), 2);
    }
    third.reset();
    EXPECT_EQ(second->holders(), 1);
    {
        lockGuard_t guard(*second);
    }

    sharedLock_t other;
    sharedLock_t assigned(other);
    assigned = *second;
    EXPECT_EQ(second->holders(), 2);
    EXPECT_EQ(other.holders(), 1);
    sharedLock_t& alias = assigned;
    assigned = alias;
    EXPECT_EQ(second->holders(), 2);
    second.reset();
    EXPECT_EQ(assigned.holders(), 1);
}

struct counterArgs_t {
    sharedLock_t lock;
    int counter = 0;
};

unsigned countUnderLock(void* argument)
{
    auto* args = static_cast<counterArgs_t*>(argument);
    sharedLock_t mine(args->lock);
    for (int i = 0; i < 20000; ++i) {
        lockGuard_t guard(mine);
        ++args->counter;
    }
    return 0;
}

TEST(sharedLockThreads, copiesOnSeveralThreadsGuardTheSameData)
{
    auto args = std::make_unique<counterArgs_t>();
    {
        threadHandle_t a(countUnderLock, args.get());
        threadHandle_t b(countUnderLock, args.get());
        threadHandle_t c(countUnderLock, args.get());
    }
    lockGuard_t guard(args->lock);
    EXPECT_EQ(args->counter, 60000);
    EXPECT_EQ(args->lock.holders(), 1);
}

}  // namespace
