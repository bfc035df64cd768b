#include "base/ManualResetEvent.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using pw::ManualResetEvent;

TEST(ManualResetEvent, StaysSignalledUntilReset)
{
    ManualResetEvent event;
    EXPECT_FALSE(event.waitFor(0ms));
    event.set();
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_TRUE(event.waitFor(0ms)); // a wait does not consume the signal
    event.reset();
    EXPECT_FALSE(event.waitFor(10ms));
}

TEST(ManualResetEvent, WakesAWaiterOnAnotherThread)
{
    ManualResetEvent event;
    std::thread setter([&] { event.set(); });
    EXPECT_TRUE(event.waitFor(10s));
    setter.join();
}

TEST(ManualResetEvent, WaitAnyReportsTheFirstSignalledInListOrder)
{
    ManualResetEvent reply, cancel;
    EXPECT_EQ(ManualResetEvent::waitAny({&reply, &cancel}, 0ms), -1);
    cancel.set();
    EXPECT_EQ(ManualResetEvent::waitAny({&reply, &cancel}, 0ms), 1);
    reply.set();
    EXPECT_EQ(ManualResetEvent::waitAny({&reply, &cancel}, 0ms), 0);
}

TEST(ManualResetEvent, WaitAnyWakesWhenAnyIsSetLater)
{
    ManualResetEvent reply, cancel;
    std::thread setter([&] { cancel.set(); });
    EXPECT_EQ(ManualResetEvent::waitAny({&reply, &cancel}, std::nullopt), 1);
    setter.join();
}

TEST(ManualResetEvent, WaitAnyTimesOutAndLeavesNoWaiterBehind)
{
    ManualResetEvent reply, cancel;
    EXPECT_EQ(ManualResetEvent::waitAny({&reply, &cancel}, 20ms), -1);
    // A set after the waiter returned must not touch the vanished waiter.
    reply.set();
    cancel.set();
    EXPECT_TRUE(reply.isSet());
}
