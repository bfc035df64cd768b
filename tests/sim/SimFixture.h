#pragma once
#include "support/LineEnd.h"
#include "sim/FrameLog.h"
#include "support/SimHarness.h"
#include "support/WireFrames.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pw::test {

inline constexpr auto kReplyWait = std::chrono::seconds(5);
// How long a reply that must not come is given to show up anyway.
inline constexpr auto kSilenceWait = std::chrono::milliseconds(300);

// A simulator plus the program's end of its line.
class SimFixture {
public:
    explicit SimFixture(sim::SimOptions options = SimHarness::unpaced())
        : harness(std::move(options)), line(std::make_unique<LineEnd>(harness.slavePath()))
    {
    }

    // Sends a frame and returns the hex of what came back within the wait ("" for nothing).
    std::string exchange(const std::string& frame, std::size_t replyLength = 7,
                         std::chrono::milliseconds wait = kReplyWait)
    {
        line->send(bytesOf(frame));
        return sim::hexBytes(line->receive(replyLength, wait));
    }
    // A frame that must stay unanswered: waits until the simulator logged it, then briefly.
    std::string unanswered(const std::string& frame)
    {
        const std::size_t before = harness.sim().counters().framesIn + harness.sim().counters().framesRejected;
        line->send(bytesOf(frame));
        harness.waitUntil([&] {
            const sim::SimCounters c = harness.sim().counters();
            return c.framesIn + c.framesRejected > before;
        });
        return sim::hexBytes(line->receive(1, kSilenceWait));
    }
    void connect() { ASSERT_EQ(exchange(kConnectFrame), kConnectReply); }

    SimHarness harness;
    std::unique_ptr<LineEnd> line;
};

} // namespace pw::test
