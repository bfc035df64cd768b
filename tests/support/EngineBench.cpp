#include "support/EngineBench.h"

#include "support/ShortPauses.h"

#include "protocol/CommandPackets.h"
#include "protocol/LinkControl.h"
#include "sim/FrameLog.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pw::test {

const char* opName(OpKind op)
{
    constexpr const char* names[] = {"Program", "Verify", "EraseAll", "PageErase", "Auto", "Dump"};
    return names[static_cast<int>(op)];
}

namespace {

Timings shortPauses()
{
    Timings t;
    shortenPauses(t);
    // Still far above any reply of the unpaced simulator, but a silent target costs less.
    t.unboundedReply = Millis(1500);
    return t;
}

} // namespace

EngineBench::EngineBench(sim::SimOptions options) : link(boxes, std::move(options), shortPauses())
{
    EXPECT_TRUE(sim.started());
}

std::string EngineBench::imageFile(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    return writeFile(dir_.file(name), std::string(bytes.begin(), bytes.end()));
}

OperationResult EngineBench::run(OpKind op, const OpArgs& args)
{
    const std::string path = args.imagePath.empty() ? imageFile(args.image) : args.imagePath;
    ctx.busy = 1;
    ctx.cancelEvent.reset();
    switch (op) {
    case OpKind::Program: return ProgramThread(ctx, view, path);
    case OpKind::Verify: return VerifyThread(ctx, view, path);
    case OpKind::EraseAll: return EraseAllThread(ctx, view);
    case OpKind::PageErase: return PageEraseThread(ctx, view, args.fromPage, args.pageCount);
    case OpKind::Auto: return AutoThread(ctx, view, path);
    case OpKind::Dump: return DumpWorker(ctx, view, {args.fromPage, args.pageCount, args.asText, folder()});
    }
    return {};
}

std::vector<std::string> EngineBench::framesBeforeMarker()
{
    const std::size_t before = sim.programFrames().size();
    EXPECT_TRUE(sendPacket(ctx.port, CmdHandshake())) << "the port is not open for the marker";
    EXPECT_TRUE(sim.waitForProgramFrames(before + 1));
    std::vector<std::string> frames = sim.programFrames();
    EXPECT_EQ(frames.back(), kHandshakeFrame) << "the marker was not the last frame";
    frames.pop_back();
    return frames;
}

sim::FlashBytes flashAfterSuccess(OpKind op, const OpArgs& args, std::uint32_t start, sim::FlashBytes flash)
{
    const auto erase = [&](std::size_t from, std::size_t to) { std::fill(&flash[from], &flash[0] + to, 0xFF); };
    const std::size_t keptBelow = start / 0x800 * 0x800; // whole 2 KiB blocks below the start
    switch (op) {
    case OpKind::Program: // onto erased flash
        std::ranges::copy(args.image, flash.begin());
        break;
    case OpKind::Auto:
        erase(start, flash.size());
        std::copy(args.image.begin() + start, args.image.end(), flash.begin() + start);
        break;
    case OpKind::EraseAll: erase(0, flash.size()); break;
    case OpKind::PageErase:
        erase(std::max<std::size_t>(args.fromPage * 0x200, keptBelow),
              std::max<std::size_t>((args.fromPage + args.pageCount) * 0x200, keptBelow));
        break;
    default: break;
    }
    return flash;
}

} // namespace pw::test
