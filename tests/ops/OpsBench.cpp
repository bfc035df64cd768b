#include "OpsBench.h"

#include "sim/FrameLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pw::test {

std::string setAddrFrame(std::uint8_t high)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0E 00 %02X %02X %02X FF", high, high, high);
    return text;
}

std::string writeFrame(std::uint8_t low, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> frame{0x0F, 0x09, low};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0xFF);
    return sim::hexBytes(frame);
}

std::string readFrame(std::uint8_t low)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0D %02X 00 00 00 FF", low);
    return text;
}

std::vector<std::string> maskFrames(std::uint32_t keepMask, std::uint32_t eraseMask)
{
    std::vector<std::string> frames;
    for (const auto& [mask, firstRegister] : {std::pair{keepMask, 3}, std::pair{eraseMask, 4}}) {
        for (int lane = 0; lane < 4; ++lane) {
            const unsigned v = (mask >> (8 * lane)) & 0xFF;
            char text[32];
            std::snprintf(text, sizeof text, "0F 0E %02X %02X %02X %02X FF", firstRegister + 2 * lane, v, v, v);
            frames.push_back(text);
        }
    }
    return frames;
}

std::vector<std::string> pageEraseFrames(std::uint32_t page)
{
    return {setAddrFrame(static_cast<std::uint8_t>(page * 2)), "0F 0E 01 82 82 82 FF", "0F 0A 00 00 00 00 FF",
            "0F 00 00 00 00 00 FF"};
}

std::vector<std::uint8_t> patternImage(std::size_t length, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<std::uint8_t>((k * 7 + (k >> 8) + seed) ^ 0x5A);
    return bytes;
}

OpsBench::OpsBench(sim::SimOptions options) : sim(std::move(options))
{
    char pattern[] = "/tmp/pw-ops-XXXXXX";
    folder_ = ::mkdtemp(pattern) ? pattern : "/tmp";
    EXPECT_TRUE(sim.started());
    sim.mapInto(ctx);
    Timings& t = ctx.timings;
    t.openLinkPause = t.closePortPause = t.reopenPause = Millis(5);
    // Long enough for the monitor to put a fire-and-forget frame on the line before a close.
    t.baudSwitchPause = t.reopenClosePause = Millis(20);
    t.afterSwitchPause = t.afterOperationPause = Millis(5);
    t.chipErasePause = t.pageErasePause = t.autoChipErasePause = Millis(1);
    // Still far above any reply of the unpaced simulator, but a silent target costs less.
    t.unboundedReply = Millis(1500);
    ctx.portOwner = &matcher;
    OpenLink(ctx, matcher, matcher);
}

OpsBench::~OpsBench()
{
    ctx.port.Close(); // before the matcher goes: the monitor delivers into it
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

std::string OpsBench::imageFile(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    const std::string path = folder_ + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::string> OpsBench::framesAfter(std::size_t count)
{
    EXPECT_TRUE(sim.waitForProgramFrames(count)) << "fewer than " << count << " frames reached the target";
    return sim.programFrames();
}

std::vector<std::string> OpsBench::framesBeforeMarker()
{
    const std::size_t before = sim.programFrames().size();
    EXPECT_TRUE(SendPacket(ctx.port, CmdHandshake())) << "the port is not open for the marker";
    std::vector<std::string> frames = framesAfter(before + 1);
    EXPECT_EQ(frames.back(), kHandshakeFrame) << "the marker was not the last frame";
    frames.pop_back();
    return frames;
}

bool OpsBench::waitForFrame(const std::string& frame)
{
    return sim.sim().waitForLog(
        [&frame](const std::vector<sim::FrameLogEntry>& log) {
            return std::any_of(log.begin(), log.end(), [&frame](const sim::FrameLogEntry& e) {
                return e.direction == sim::FrameDirection::In && sim::hexBytes(e.bytes) == frame;
            });
        },
        std::chrono::seconds(20));
}

} // namespace pw::test
