#include "ops/LinkSteps.h"

namespace pw {

bool needsRateSwitch(LinkUse use, std::uint32_t baudRate)
{
    switch (use) {
    case LinkUse::Program:
    case LinkUse::Verify:
    case LinkUse::Dump: return baudRate == 115200;
    case LinkUse::Auto: return baudRate != 9600;
    case LinkUse::Erase: return false;
    }
    return false;
}

WaitResult openConnection(IspContext& ctx, LinkUse use)
{
    const ReplyWait handshake = use == LinkUse::Auto ? ReplyWait::Unbounded : ReplyWait::Short;
    const WaitResult connected = connectToTarget(ctx, handshake);
    if (connected != WaitResult::Answered || !needsRateSwitch(use, ctx.baudRate))
        return connected;
    SwitchBaud(ctx);
    ctx.pause(ctx.timings.afterSwitchPause);
    return WaitResult::Answered;
}

WaitResult MaskSetup(IspContext& ctx, BlockMasks masks, MaskKinds kinds)
{
    for (int lane = 0; lane < 4; ++lane) {
        const bool anyByte = kinds == MaskKinds::KeepLane2AnyByte && lane == 2;
        const WaitResult result = SendAndWait(ctx, anyByte ? ResponseKind::AnyByte : ResponseKind::MaskAck,
                                              CmdSetKeepMask(lane, maskLane(masks.keepMask, lane)), ReplyWait::Short);
        if (result != WaitResult::Answered)
            return result;
    }
    for (int lane = 0; lane < 4; ++lane) {
        const WaitResult result = SendAndWait(ctx, ResponseKind::MaskAck,
                                              CmdSetEraseMask(lane, maskLane(masks.eraseMask, lane)), ReplyWait::Short);
        if (result != WaitResult::Answered)
            return result;
    }
    return WaitResult::Answered;
}

WaitResult AddressWalk::select(IspContext& ctx, std::uint32_t address, std::optional<ResponseKind> kind)
{
    const auto high = static_cast<std::uint8_t>(address >> 8);
    if (high == lastHigh_)
        return WaitResult::Answered;
    lastHigh_ = high;
    return SendAndWait(ctx, kind, CmdSetAddrHigh(high), ReplyWait::Unbounded);
}

} // namespace pw
